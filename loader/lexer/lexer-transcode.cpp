// lexer-transcode.cpp: the lexer's entry points: the input where it stays put, one scan
// record, the end checks and the result.
#include "loader/lexer/lexer.h"

#include <algorithm>
#include <cstring>

#include "datatypes/series/block-core.h"
#include "datatypes/series/utf8-encode.h"
#include "loader/lexer/lexer-nesting.h"
#include "loader/lexer/lexer-scan.h"
#include "loader/lexer/lexer-scratch.h"
#include "loader/lexer/lexer-state.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"

namespace qel {

namespace {

// Marker cells keep byte offsets in 32 bits.
inline constexpr uint64_t kMostInputBytes = UINT32_MAX - 1;

// What a finished load leaves in `out`.
void build_result(Cell& out, const LexerState& state, const LexerRequest& request) {
  uint64_t count = state.tail - state.base;
  if (request.one && !request.as_block && count > 0) {
    out = lexer_cell(state.base);
    if (request.into) lexer_append_cells(*request.into, state.base, 1);
    return;
  }
  if (request.into) {
    lexer_append_cells(*request.into, state.base, count);
    out = *request.into;
    return;
  }
  Cell block;
  block_make_at(block, static_cast<int64_t>(count));
  lexer_append_cells(block, state.base, count);
  out = block;
}

// A load into a block that an error ends keeps what it had read: the complete values before
// the outermost construct still open (a trapped load reports them with the error).
void keep_complete_values(const LexerState& state, const Cell& into) {
  uint64_t end = state.base;
  while (end < state.tail && !is_open_marker(lexer_cell(end))) ++end;
  lexer_append_cells(into, state.base, end - state.base);
}

// True when nothing but the lexer itself runs during the scan: no loader makes a value and no
// tracer is called, so nothing can allocate, move a series buffer or change the input, and the
// bytes are scanned where they are instead of in a copy.
bool scans_in_place(const LexerRequest& request) { return (request.prescan || request.scan) && !request.tracer; }

// Scans `length` bytes at `text` (bytes that stay put and unchanged for the whole scan) that
// come from `input`.
LexerAnswer scan_bytes(Cell& out, const uint8_t* text, uint64_t length, const Cell& input,
                       const LexerRequest& request) {
  check_stack_headroom();  // tracers and loaders may nest scans
  if (length > kMostInputBytes) raise_error(error_id("internal", "limit-hit"));
  LexerState state;
  state.input_start = state.position = text;
  state.input_end = text + length;
  state.input = input;
  state.tracer = request.tracer;
  state.load = !request.prescan && !request.scan;
  state.scan = request.scan;
  LexerStateScope scope(state);
  ScanEnd ended;
  bool vetoed;
  try {
    ended = lexer_scan(state, request.one, request.prescan);
    vetoed = ended == ScanEnd::input && lexer_end_check(state, request.prescan) == LexStatus::stop;
  } catch (...) {
    if (state.load && request.into) keep_complete_values(state, *request.into);
    throw;
  }
  if (state.load && !vetoed && ended != ScanEnd::stop)
    build_result(out, state, request);
  else
    out = make_cell(Type::none);
  return {state.token_type, lexer_input_offset(state, state.position)};
}

// Scans `length` bytes at `text` that come from `input`: where they are when nothing else runs,
// else in a copy that stays put however loaders and tracers move or change the original.
LexerAnswer scan_placed(Cell& out, const uint8_t* text, uint64_t length, const Cell& input,
                        const LexerRequest& request) {
  if (scans_in_place(request)) return scan_bytes(out, text, length, input, request);
  LexerScratch copy(length);
  if (length) std::memcpy(copy.data(), text, length);
  copy.data()[length] = 0;
  return scan_bytes(out, copy.data(), length, input, request);
}

// Units from a series value's index to its tail (0 past the tail).
uint64_t units_from_index(const Cell& series) {
  SeriesBuffer* buffer = series_buffer(series.w2);
  uint64_t units = (buffer->tail - buffer->head) / buffer->unit();
  return series.w1 < units ? units - series.w1 : 0;
}

// The part of `available` units a length asks for: -1 all, else at most what is there.
uint64_t part_length(int64_t length, uint64_t available) {
  return length < 0 ? available : std::min(static_cast<uint64_t>(length), available);
}

}  // namespace

LexerAnswer lexer_transcode(Cell& out, std::span<const uint8_t> text, const LexerRequest& request) {
  return scan_placed(out, text.data(), text.size(), make_cell(Type::none), request);
}

LexerAnswer lexer_load_string(Cell& out, const Cell& string, int64_t length, const LexerRequest& request) {
  SeriesBuffer* buffer = series_buffer(string.w2);
  unsigned unit = buffer->unit();
  UnitText text{buffer->head_address() + uint64_t{string.w1} * unit, part_length(length, units_from_index(string)),
                unit};
  LexerScratch copy(utf8_size_bound(text));
  size_t bytes = utf8_encode_units(text, false, copy.data());
  copy.data()[bytes] = 0;
  return scan_bytes(out, copy.data(), bytes, string, request);
}

uint32_t binary_bom_size(const Cell& binary, int64_t length) {
  static constexpr uint8_t kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
  uint64_t bytes = part_length(length, units_from_index(binary));
  const uint8_t* at = series_buffer(binary.w2)->head_address() + binary.w1;
  return bytes >= sizeof kByteOrderMark && std::memcmp(at, kByteOrderMark, sizeof kByteOrderMark) == 0
             ? sizeof kByteOrderMark
             : 0;
}

LexerAnswer lexer_load_binary(Cell& out, const Cell& binary, int64_t length, const LexerRequest& request) {
  Cell input = binary;
  uint64_t bytes = part_length(length, units_from_index(input));
  uint32_t mark = binary_bom_size(binary, length);
  input.w1 += mark;
  bytes -= mark;
  return scan_placed(out, series_buffer(input.w2)->head_address() + input.w1, bytes, input, request);
}

}  // namespace qel
