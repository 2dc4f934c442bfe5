// services.cpp: the registry of neighbouring services and its stand-ins.
#include "runtime/services.h"

#include <algorithm>

#include "console/text-front-end.h"
#include "evaluator/checksum-native.h"
#include "evaluator/boot-runner.h"
#include "evaluator/crypto.h"
#include "evaluator/interpreter.h"
#include "evaluator/native-table.h"
#include "evaluator/parse-stacks.h"
#include "evaluator/print-natives.h"
#include "evaluator/random.h"
#include "evaluator/trace.h"
#include "loader/clipboard.h"
#include "loader/compression-methods.h"
#include "loader/compression/codec-entry.h"
#include "loader/compression/deflate.h"
#include "loader/compression/gzip-framing.h"
#include "loader/compression/inflate.h"
#include "loader/compression/zlib-framing.h"
#include "loader/file-entries.h"
#include "loader/file-read.h"
#include "loader/file-write.h"
#include "loader/http-request.h"
#include "loader/lexer/lexer-state.h"
#include "loader/qelbin/qelbin.h"
#include "loader/process/call-command.h"
#include "loader/process/opener.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/locale-defaults.h"

namespace qel {

namespace {

StandInError last_error;

Cell stand_in_error_build(ErrorId id, std::span<const Cell> args) {
  last_error = StandInError{};
  last_error.id = id;
  last_error.arg_count = std::min<size_t>(args.size(), 3);
  std::copy_n(args.begin(), last_error.arg_count, last_error.args);
  return make_cell(Type::error);  // an error! with no object behind it
}

void stand_in_error_set_where(Cell&, const Cell& where) { last_error.where = where; }
Cell* stand_in_error_stack_field(const Cell&) { return &last_error.stack; }
Cell stand_in_none(uint32_t) { return make_cell(Type::none); }
Cell stand_in_port_actor(const Cell&) { return make_cell(Type::none); }
bool stand_in_port_forward(Act, const int32_t*) { return false; }
void stand_in_field_change(const Cell&, const Cell&, const Cell&, const Cell&) {}
void stand_in_on_change(const OwnerChange&) {}
Cell stand_in_object_reflect(const Cell&, const Cell&) { raise_error(error_id("internal", "not-done")); }
void nothing() {}
[[noreturn]] void not_done() { raise_error(error_id("internal", "not-done")); }
Cell stand_in_value_service(const Cell&) { not_done(); }
std::optional<std::string> stand_in_script_title() { return std::nullopt; }
void stand_in_message_box(const char*, const char*) {}
bool stand_in_face_p(const Cell&) { return false; }

constexpr Services kStandIns = {
    .error_build = stand_in_error_build,
    .error_set_where = stand_in_error_set_where,
    .error_stack_field = stand_in_error_stack_field,
    .function_spec_arg_word = stand_in_none,
    .word_from_c_string = word_from_c_string,  // the context layer's own
    .port_actor = stand_in_port_actor,
    .port_forward = stand_in_port_forward,
    .trace_event = trace_event,  // the evaluator's own
    .object_fire_field_change = stand_in_field_change,
    .object_fire_on_change = stand_in_on_change,
    .object_reflect = stand_in_object_reflect,
    .eval_function_body = call_callback,  // the interpreter's own
    .print = print_line_service,  // the print core
    .random_init = random_init,  // the generator's own start-up seeding
    .crypt_provider_acquire = crypt_provider_acquire,  // the digests' own
    .init_native_entries = init_native_entries,  // the evaluator's own
    .init_parse = init_parse,  // the parse engine's own
    .init_checksum_methods = init_checksum_methods,
    .init_compression_methods = init_compression_methods,
    .zlib_encode = codec_entry<zlib_encode>,  // the codecs' own
    .deflate_encode = codec_entry<deflate_encode>,
    .gzip_encode = codec_entry<gzip_encode>,
    .zlib_decode = codec_entry<zlib_decode>,
    .inflate_decode = codec_entry<inflate_decode>,
    .gzip_decode = codec_entry<gzip_decode>,
    .file_read_dispatch = file_read_dispatch,  // the file layer's own
    .file_write_dispatch = file_write_dispatch,
    .os_query_file = os_query_file,
    .os_delete = os_delete,
    .os_rename = os_rename,
    .http_request = http_request,  // the HTTP layer's own
    .parse_url = stand_in_value_service,
    .port_make = stand_in_value_service,
    .clipboard_read = clipboard_read,  // the clipboard layer's own
    .clipboard_write = clipboard_write,
    .init_call = init_call,  // the process layer's own
    .call_command = call_command,
    .open_in_browser = open_in_browser,
    .init_lexer_tables = init_lexer_tables,  // the lexer's own
    .init_lexer = init_lexer,
    .qelbin_decode_boot = qelbin_decode_boot,
    .lexer_mark = lexer_mark,
    .script_title = stand_in_script_title,
    .locale_months = locale_default_months,
    .locale_currencies = locale_default_currencies,
    .money_digits = options_default_money_digits,
    .build_library = build_library,
    .show_message_box = stand_in_message_box,
    .face_p = stand_in_face_p,
    .face_to_image = stand_in_value_service,
    .gui_init = nothing,
    .run_event_loop = nothing,  // no windows until the GUI back end
    .launch = text_front_end_launch,  // the console's own
    .add_gui_print = nothing,
};

Services registry = kStandIns;

}  // namespace

Services& services() { return registry; }
void reset_services() { registry = kStandIns; }
const StandInError& stand_in_last_error() { return last_error; }

}  // namespace qel
