// qelbin-builder.h: what the decoders of both variants do once a record's fields are read:
// making the value, checking it, and placing it in its parent block. Each variant's decoder
// derives from it and reads its own layout of the fields.
//
// A container's cell stands in its parent before its own records are read, so a record inside
// may refer to it through a reference path; a record that fails leaves the decoding at once,
// and whatever it made is dropped with the block it was decoded into.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "loader/qelbin/qelbin-decoder.h"
#include "runtime/cell.h"

namespace qel {

// A context record's fields before its values: the kind, its flags and the words.
struct QelbinContextHeader {
  uint8_t flags = 0;  // kind (bits 0-1), on the stack (4), creation flag (8), values follow (16)
  std::vector<uint32_t> symbols;
  uint32_t kind() const { return flags & 3; }
  bool on_stack() const { return flags & 4; }
  bool flag() const { return flags & 8; }
  bool values_follow() const { return (flags & 16) && !on_stack(); }
};

class QelbinBuilder {
 public:
  explicit QelbinBuilder(QelbinDecodeState& state) : s_(state), in_(state.input) {}
  virtual ~QelbinBuilder() = default;

  // Records until the input ends, into the root block.
  void body() {
    while (!in_.at_end()) record(s_.root);
  }

 protected:
  // One record of the variant, its value appended to the parent.
  virtual void record(const Cell& parent) = 0;
  // A function's spec or body record: the node of its block, read into the function (whose
  // spec or body it becomes before its records are read) or taken from a reference.
  virtual NodeId function_block(Cell& function, bool spec, const uint8_t* at) = 0;

  static uint32_t cells_in(const Cell& block);
  static Cell& cell_at(const Cell& block, uint32_t i);
  static Cell new_block(int64_t room, Type type = Type::block);

  // The cell the path read into the state reaches.
  Cell resolve(const uint8_t* at) { return qelbin_resolve_path_in_state(at); }
  // A reference record's target retyped as the record's own series type, at its head.
  Cell reference_as(Type type, Cell target, int64_t head, const uint8_t* at);
  Cell with_head(Cell series, int64_t head, const uint8_t* at);
  // The object or function a reference of such a record names: the target itself, the owner
  // of a word's context, or (for a function) the function an op! wraps.
  Cell owner_reference(Type type, Cell target, const uint8_t* at);
  uint32_t symbol_at(int64_t index, const uint8_t* at) { return s_.symbols.symbol(index, in_, at); }

  void records_into(const Cell& block, int64_t n);
  // One record into the block; it must make exactly one cell, which is answered.
  Cell single(const Cell& block, const uint8_t* at);

  // --- Values ----------------------------------------------------------------------------------
  void block_value(const Cell& parent, Type type, int64_t head, int64_t n, const uint8_t* at);
  // A new series of `count` units of `unit` bytes copied from `data`.
  NodeId units_series(const uint8_t* data, uint64_t count, uint32_t unit, const uint8_t* at);
  void vector_value(const Cell& parent, int64_t head, int64_t element, uint32_t size, const uint8_t* data,
                    uint64_t count, const uint8_t* at);
  void map_value(const Cell& parent, int64_t n, const uint8_t* at);
  // image!: width x height pixel words, little-endian, read from the input here.
  void image_value(const Cell& parent, int64_t head, int64_t width, int64_t height, const uint8_t* at);
  void context_value(const Cell& parent, const QelbinContextHeader& header, const uint8_t* at);
  // An object's cell goes into the parent (when there is one), `place` puts what must stand
  // before the values (a word bound to it), then the values are read.
  void object_value(const Cell* parent, int32_t class_id, bool hooks, const QelbinContextHeader& header,
                    const uint8_t* at, const std::function<void(NodeId)>& place);
  // The same for a function, whose spec and body follow.
  void function_value(const Cell* parent, const QelbinContextHeader& header, const uint8_t* at,
                      const std::function<void(NodeId)>& place);
  // The records of a function's spec or body block, read into a new block that the function
  // takes first.
  NodeId function_block_records(Cell& function, bool spec, int64_t n);
  // native!/action!: the spec record follows (after the cell in the parent in normal mode).
  void native_value(const Cell& parent, Type type, int64_t slot, const uint8_t* at);
  // op!: the cell the wrapped record made becomes the op!.
  void op_value(const Cell& parent, const uint8_t* at);
  void error_value(const Cell& parent, int32_t code, const uint8_t* at);
  void scalar(const Cell& parent, const Cell& value) { append(parent) = value; }
  // point2D! and point3D!: their float32 words, little-endian in both variants.
  void point_value(const Cell& parent, Type type);

  // --- Words -----------------------------------------------------------------------------------
  Cell global_word(Type type, uint32_t symbol) const;
  // The word bound into the context at the slot: inside the context, holding the word's
  // symbol; -1, when `lookup`, looks the symbol up.
  Cell bound_word(Type type, uint32_t symbol, NodeId context, int64_t slot, bool lookup, const uint8_t* at);
  // Normal mode: bound into the context of the image's literal number `literal`.
  Cell literal_word(Type type, uint32_t symbol, int64_t literal, int64_t slot, const uint8_t* at);
  // Codec mode: a word whose owner's record follows stands in the parent first, bound to the
  // owner's new context; `owner` reads that record, calling back with the context.
  void word_before_owner(const Cell& parent, Type type, uint32_t symbol, int64_t slot, const uint8_t* at,
                         const std::function<void(const std::function<void(NodeId)>&)>& owner);
  // Normal mode: the word at `position` is set to the value of the next record; neither stays.
  void definition(const Cell& parent, uint32_t position, const uint8_t* at);

  static Cell& append(const Cell& parent);

  QelbinDecodeState& s_;
  QelbinInput& in_;

 private:
  Cell qelbin_resolve_path_in_state(const uint8_t* at);
  NodeId context_of(const QelbinContextHeader& header, const uint8_t* at);
  void context_values(NodeId context, const QelbinContextHeader& header, const uint8_t* at);
};

}  // namespace qel
