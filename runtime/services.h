// services.h: what the runtime core calls in subsystems built above it.
//
// Each entry starts as a stand-in, or as the owning subsystem's own once that is built (the
// default is what reset_services() puts back); the owner may install its own at start-up and
// tests swap in doubles. Only the language thread reads or changes the registry.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "runtime/actions.h"
#include "runtime/cell.h"
#include "runtime/error-catalog.h"

namespace qel {

// A change inside an owned series, as its owner object's deep-change handler receives it.
struct OwnerChange {
  Cell owner;      // the object!
  Cell word;       // the field that holds the series
  Cell value;      // the owned series value
  Cell action;     // the word of the changing action ("append", "appended" ...)
  Cell new_value;  // the value inserted or written
  int32_t index;   // where the change happens
  int32_t part;    // how many units it concerns
};

// The refinements of read and write as the file and URL actions pass them on (null: absent;
// valid during the call).
struct ReadRefinements {
  Cell* part;
  Cell* seek;
  bool binary;
  bool lines;
  bool info;
  Cell* as;
};
struct WriteRefinements {
  bool binary;
  bool lines;
  bool info;
  bool append;
  Cell* part;
  Cell* seek;
  Cell* allow;
  Cell* as;
};

// An HTTP request of url! read or write: the refinements these pass on (the others they refuse).
struct HttpRequest {
  Cell url;
  bool write;  // else a read
  Cell data;   // what write sends; none for a read
  bool binary;
  bool lines;
  bool info;
  bool append;
  Cell* part;  // write /part
};

// What call hands the process layer: the command as the OS takes it (bytes, no U+0000), its
// flags, and the /input, /output and /error values (null: absent; valid during the call).
struct CallRequest {
  std::string command;
  bool wait;
  bool show;
  bool console;
  bool shell;
  const Cell* input;
  const Cell* output;
  const Cell* error;
};

// A compression codec: writes into output (null with capacity 0 asks only for the size) and sets
// *size to the bytes written or needed; 0 done, 1 output too small, 2 and above bad data, 6 an
// output beyond the codec's cap.
using CodecFunction = int32_t (*)(uint8_t* output, int32_t* size, const uint8_t* input, int32_t length);

struct Services {
  // evaluator
  Cell (*error_build)(ErrorId id, std::span<const Cell> args);  // a new error value, raises nothing
  void (*error_set_where)(Cell& error, const Cell& where);      // sets `where` when it is none
  Cell* (*error_stack_field)(const Cell& error);                 // the error's `stack` field
  Cell (*function_spec_arg_word)(uint32_t index);  // n-th parameter word of the running function, or none
  Cell (*word_from_c_string)(const char* name);    // a global word of that spelling
  Cell (*port_actor)(const Cell& port);            // a port's actor field
  // a port's action from append on, the port first in the current frame and the refinements'
  // offsets as the action entry has them: true when the port's actor took it and the frame's
  // result is written; false leaves it to the typed route (handle! actors, open, read, write)
  bool (*port_forward)(Act act, const int32_t* refinements);
  void (*trace_event)(uint32_t mask, std::span<const Cell> cells);
  // an object's on-change* for a field set: (owner, word, old value, new value)
  void (*object_fire_field_change)(const Cell& owner, const Cell& word, const Cell& old_value, const Cell& new_value);
  // an object's deep-change handler for a change inside a series it owns
  void (*object_fire_on_change)(const OwnerChange& change);
  // reflect of an object with a field word (words, values, body ...): a new value
  Cell (*object_reflect)(const Cell& object, const Cell& field);
  // calls a function value with the arguments (pushed by the callee) as a callback of the bit
  // (callback-bits.h) and answers its result; may reach safe points
  Cell (*eval_function_body)(const Cell& function, std::span<const Cell> args, uint32_t callback);
  void (*print)(const Cell& value);
  void (*random_init)();
  void (*crypt_provider_acquire)();
  void (*init_native_entries)();
  void (*init_parse)();
  void (*init_checksum_methods)();
  // loader, codecs and OS services
  void (*init_compression_methods)();
  // the codecs (loader/compression/)
  CodecFunction zlib_encode;
  CodecFunction deflate_encode;
  CodecFunction gzip_encode;
  CodecFunction zlib_decode;
  CodecFunction inflate_decode;
  CodecFunction gzip_decode;
  // file and network layer: each stand-in raises internal not-done
  Cell (*file_read_dispatch)(const Cell& file, const ReadRefinements& refinements);   // read's result
  void (*file_write_dispatch)(const Cell& file, const Cell& data, const WriteRefinements& refinements);
  Cell (*os_query_file)(const Cell& file);                      // query's result
  bool (*os_delete)(const Cell& file);                          // deleted
  bool (*os_rename)(const Cell& file, const Cell& new_name);    // renamed
  Cell (*http_request)(const HttpRequest& request);            // the answer, or none on failure
  Cell (*parse_url)(const Cell& url);                           // the url's components
  Cell (*port_make)(const Cell& spec);                          // a port! of the spec's scheme, or none
  Cell (*clipboard_read)();                  // false on failure, none when empty, else the content
  bool (*clipboard_write)(const Cell& data);  // whether the clipboard opened and took every kind
  void (*init_call)();
  int32_t (*call_command)(const CallRequest& request);  // exit status, process id, or -1
  bool (*open_in_browser)(const std::string& text);      // whether the opener started
  void (*init_lexer_tables)();
  void (*init_lexer)();
  // the boot image into the root block (nothing when image is null)
  void (*qelbin_decode_boot)(const uint8_t* image, size_t size);
  void (*lexer_mark)();
  // boot library
  std::optional<std::string> (*script_title)();  // system/script/title when it is a string!
  Cell (*locale_months)();      // system/locale/months, as it stands
  Cell (*locale_currencies)();  // system/locale/currencies/list, as it stands
  Cell (*money_digits)();       // system/options/money-digits, as it stands
  void (*build_library)();                       // library, system object, GUI engine, console
  // GUI back end and console
  void (*show_message_box)(const char* caption, const char* text);
  bool (*face_p)(const Cell& value);         // the value is a face object
  Cell (*face_to_image)(const Cell& face);   // a new image! captured from the face's window
  void (*gui_init)();
  void (*run_event_loop)();  // one pass over pending window events, without waiting
  void (*launch)();
  void (*add_gui_print)();
};

Services& services();

// Puts back every stand-in (tests use it between cases).
void reset_services();

// What the stand-in error_build last built: the error value of the subsystems not yet there.
struct StandInError {
  ErrorId id{};
  Cell args[3]{};
  size_t arg_count = 0;
  Cell where{};
  Cell stack{};
};
const StandInError& stand_in_last_error();

}  // namespace qel
