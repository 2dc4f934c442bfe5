// process-natives.h: call and browse, the natives that start other programs.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// call cmd /wait /show /console /shell /input in /output out /error err: the command (a
// string!, or a file! in its OS form) goes to the call_command service with the flags and the
// values given; answers its integer! (exit status, process id, or -1). An empty command answers
// 0 and starts nothing; one holding U+0000 raises script invalid-arg.
Status native_call(const int32_t* refinements);

// browse url: hands the url!, or the file! in its OS form, to the open_in_browser service; an
// opener that cannot be started raises access cannot-open. Answers unset.
Status native_browse(const int32_t* refinements);

}  // namespace qel
