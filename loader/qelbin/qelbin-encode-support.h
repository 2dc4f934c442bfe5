// qelbin-encode-support.h: what both encoders ask of a value before they write it: whether it
// can be written at all, how a word's context is written, which map entries are live, and the
// flags of a context record.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "runtime/cell.h"

namespace qel {

// routine!, triple!, handle!, port!, event! and an op! over a routine!: access no-codec with
// the value. So is any value no record describes.
void qelbin_refuse_unwritable(const Cell& value);

// How a word is written: with the global context (bound there, unbound, or bound to a context
// whose owner is unset!, none! or a block), or with the context's owner (its object!, error! or
// function!). An owner that can be written nowhere raises access no-codec with the word.
enum class WordBinding : uint8_t { global, owner };
WordBinding qelbin_word_binding(const Cell& word);
// The owner cell of a word's context (an error!'s own cell included).
Cell qelbin_word_owner(const Cell& word);

// The key and value of each live entry of a map, in slot order.
void qelbin_map_live_pairs(const Cell& map, const std::function<void(const Cell&, const Cell&)>& each);
// 2 x the live entries.
uint32_t qelbin_map_record_count(const Cell& map);

// The context record's flags: its kind, values on the stack (4), the creation flag (8), and
// values follow (16) when they are not on the stack and one of them is not unset!.
uint8_t qelbin_context_flags(NodeId context);
// The field index of an object's on-change* (0) or on-deep-change* (1) handler, or -1.
int32_t qelbin_hook_index(const Cell& object, int k);

// An image's pixel words from its first pixel (none without a record).
std::span<const uint8_t> qelbin_image_bytes(const Cell& image);

// The bytes of a series buffer from its start, and its length in units.
const uint8_t* qelbin_series_bytes(NodeId node);
uint32_t qelbin_series_units(NodeId node);

}  // namespace qel
