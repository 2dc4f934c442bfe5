// opener.h: handing a URL or a file to the desktop's opener.
#pragma once

#include <string>

namespace qel {

// Starts xdg-open (found on PATH) with the text as its one argument, no interpreter between,
// without waiting for it (it is reaped once it ends); whether it started.
bool open_in_browser(const std::string& text);

}  // namespace qel
