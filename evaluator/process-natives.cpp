// process-natives.cpp: the argument side of call and browse; the process layer does the rest.
#include "evaluator/process-natives.h"

#include <string>

#include "datatypes/series/string-convert.h"
#include "datatypes/series/url.h"
#include "runtime/action-entries.h"
#include "runtime/error-raise.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

enum CallRefinement { kWait, kShow, kConsole, kShell, kInput, kOutput, kError };

// The text the OS is given: a file!'s OS path (its name bytes as they are), else the UTF-8.
// U+0000 cannot be passed on: script invalid-arg.
std::string os_text(const Cell& value) {
  if (cell_type(value) == Type::file) return file_to_os_path(value);
  std::string text = string_to_utf8(value);
  if (text.find('\0') != std::string::npos) raise_error(error_id("script", "invalid-arg"), value);
  return text;
}

}  // namespace

Status native_call(const int32_t* refinements) {
  CallRequest request{os_text(value_stack.base[0]),
                      refinement_flag(refinements[kWait]),
                      refinement_flag(refinements[kShow]),
                      refinement_flag(refinements[kConsole]),
                      refinement_flag(refinements[kShell]),
                      refinement_argument(refinements[kInput]),
                      refinement_argument(refinements[kOutput]),
                      refinement_argument(refinements[kError])};
  int32_t result = request.command.empty() ? 0 : services().call_command(request);
  stack_set_result_only(make_cell(Type::integer, 0, static_cast<uint32_t>(result)));
  return {};
}

Status native_browse(const int32_t*) {
  const Cell& target = value_stack.base[0];
  if (!services().open_in_browser(os_text(target))) raise_error(error_id("access", "cannot-open"), target);
  stack_set_result_only(make_cell(Type::unset));
  return {};
}

}  // namespace qel
