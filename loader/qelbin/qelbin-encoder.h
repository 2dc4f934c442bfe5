// qelbin-encoder.h: the walk both encoders share: which values are written once and referenced
// after, how records are counted into paths, and the order of the records inside blocks, maps,
// contexts, objects, functions, natives, op! values and errors. Each variant's encoder derives
// from it and writes the bytes of each step in its own layout.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "loader/qelbin/qelbin-references.h"
#include "runtime/cell.h"

namespace qel {

class QelbinEncoder {
 public:
  virtual ~QelbinEncoder() = default;

  // Writes the value's records into the body and answers the variant's header, which goes
  // before them in the image.
  virtual std::vector<uint8_t> image_header(const Cell& v) = 0;
  // The records written.
  const std::vector<uint8_t>& body() const { return body_; }
  // Writes the value's record (and the records inside it) and counts it.
  void value(const Cell& v);

 protected:
  // --- What each variant writes ----------------------------------------------------------------
  // A value held whole in its cell (numbers, dates, tuples, money, issues ...).
  virtual void scalar(const Cell& v) = 0;
  // Words: bound globally; bound to a context written before (at the path); or bound to an
  // owner whose record follows (the word's fields and the owner's type, then the base writes
  // the owner's fields).
  virtual void global_word(const Cell& v) = 0;
  virtual void word_reference(const Cell& v, std::span<const int32_t> path) = 0;
  virtual void word_before_owner(const Cell& v, const Cell& owner) = 0;
  // The fields before a native's spec block, before the value an op! wraps, before an error's
  // six field records.
  virtual void native_header(const Cell& v) = 0;
  virtual void op_header(const Cell& v) = 0;
  virtual void error_header(const Cell& v) = 0;
  // A value written before, at the path.
  virtual void reference(const Cell& v, std::span<const int32_t> path) = 0;
  // The first occurrence: its header and leading fields, before its content.
  virtual void full_header(const Cell& v) = 0;
  // Content held in bytes: strings, binary!, bitset!, vector!.
  virtual void byte_content(const Cell& v) = 0;
  // Counts before records: a block's cells, a map's records.
  virtual void record_count(uint32_t n) = 0;
  // An object's class id and handler indexes; a function's rooms; a context's header and words.
  virtual void object_header(const Cell& object) = 0;
  virtual void function_rooms(const Cell& function) = 0;
  virtual void context_header(NodeId context, uint8_t flags) = 0;
  // The header of the block record a native's spec is written as (head 0).
  virtual void spec_block_header() = 0;

  // --- The shared walk -------------------------------------------------------------------------
  void object_fields(const Cell& object);
  void function_fields(const Cell& function);

  QelbinReferences references_;
  QelbinSymbolList symbols_;
  std::vector<uint8_t> body_;

 private:
  void word(const Cell& v);
  void native(const Cell& v);
  void op(const Cell& v);
  void error(const Cell& v);
  void referenced(const Cell& v);
  void content(const Cell& v);
  void cells(NodeId node);
  void context_record(NodeId context);
};

// A new binary! of the value's image, encoded with collection held off (the encoder reads cells
// in place and keeps nodes in its tables).
Cell qelbin_encoded(QelbinEncoder& encoder, const Cell& value);

}  // namespace qel
