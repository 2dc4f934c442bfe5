// call-command.cpp: language values to a process request and back.
#include "loader/process/call-command.h"

#include <algorithm>

#include "datatypes/series/binary.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/url.h"
#include "loader/process/child-reaper.h"
#include "loader/process/run-process.h"
#include "loader/text-from-bytes.h"
#include "runtime/console-input.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/series-buffer.h"
#include "datatypes/series/series.h"

namespace qel {

namespace {

void redirect_input(StreamRedirect& redirect, const Cell* value) {
  if (!value) return;
  switch (cell_type(*value)) {
    case Type::string: redirect = {StreamKind::memory, {}, string_to_utf8(*value), {}}; return;
    case Type::binary: {
      const char* head = reinterpret_cast<const char*>(binary_head_address(*value));
      redirect = {StreamKind::memory, {}, std::string(head, static_cast<size_t>(binary_length(*value))), {}};
      return;
    }
    case Type::file: redirect = {StreamKind::file, file_to_os_path(*value), {}, {}}; return;
    default: raise_invalid_arg(*value);
  }
}

void redirect_output(StreamRedirect& redirect, const Cell* value) {
  if (!value) return;
  switch (cell_type(*value)) {
    case Type::binary:
      // At its tail a binary! takes the bytes as they come, with no copy between.
      if (binary_at_tail(*value)) {
        redirect.captured.bytes.series = value->w2;
        redirect.captured.cap = std::min<uint64_t>(redirect.captured.cap, kSeriesByteCeiling - series_total_length(*value));
      }
      [[fallthrough]];
    case Type::string: redirect.kind = StreamKind::memory; return;
    case Type::file: redirect = {StreamKind::file, file_to_os_path(*value), {}, {}}; return;
    default: raise_invalid_arg(*value);
  }
}

void deliver(const Cell* target, const StreamRedirect& redirect) {
  if (target && redirect.kind == StreamKind::memory) insert_captured_output(*target, redirect.captured);
}

}  // namespace

void init_call() { install_child_signal(); }

int32_t call_command(const CallRequest& request) {
  if (request.console) raise_error(error_id("internal", "not-done"));
  ProcessRequest process;
  process.command = request.command;
  process.wait = request.wait;
  process.shell = request.shell;
  redirect_input(process.input, request.input);
  redirect_output(process.output, request.output);
  redirect_output(process.error, request.error);
  int32_t result = os_run_process(process);
  deliver(request.output, process.output);
  deliver(request.error, process.error);
  return result;
}

void insert_captured_output(const Cell& target, const Capture& capture) {
  if (capture.overflowed) {
    if (capture.bytes.series) series_buffer(capture.bytes.series)->tail -= static_cast<uint32_t>(capture.bytes.size);
    raise_error(error_id("internal", "limit-hit"), target);
  }
  std::span<const uint8_t> bytes = capture.bytes.bytes();
  if (capture.bytes.series || bytes.empty()) return;  // read straight into the target, or nothing came
  if (cell_type(target) == Type::binary) {
    binary_insert_bytes(target, series_clamped_index(target), bytes);
    return;
  }
  std::string text = utf8_sanitized(bytes);
  GcRoot<Cell> loaded(string_from_utf8_bytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
  string_write_text(target.w2, 0, string_text(*loaded), TextMode::append);
}

}  // namespace qel
