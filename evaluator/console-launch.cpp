// console-launch.cpp: choosing between a script and the console from the command line.
#include "evaluator/console-launch.h"

#include <string_view>

#include "evaluator/console-session.h"
#include "evaluator/script-runner.h"
#include "runtime/quit.h"
#include "runtime/runtime-record.h"
#include "runtime/stdout-print-hook.h"

namespace qel {

namespace {

inline constexpr std::string_view kConsoleOption = "--cli";

}  // namespace

void console_launch() {
  stdout_print_hook_install();
  if (runtime.argument_count > 1 && runtime.argument_vector[1] != kConsoleOption)
    quit_return(run_script_file(runtime.argument_vector[1]));
  console_run(true);
}

}  // namespace qel
