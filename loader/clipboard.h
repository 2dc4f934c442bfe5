// clipboard.h: the two procedures behind read-clipboard and write-clipboard, moving values
// between the language and the clipboard back end in use (clipboard-back-end.h).
#pragma once

#include "runtime/cell.h"

namespace qel {

// clipboard-read: the first kind offered, in the order text, file list, image: text as a string!
// (every CR dropped, ill-formed UTF-8 as U+FFFD), a file list as a block! of file! values (OS
// names, relative ones staying relative), an image as an image! decoded from its PNG bytes (none
// when they do not decode). none when nothing is offered; false when the back end cannot be
// opened or the offered data cannot be read.
Cell clipboard_read();

// clipboard-write: none! empties the clipboard; a string! puts its text from its index; a
// block! of file! values puts their OS paths; an image! puts the whole image as PNG, or empties
// the clipboard when it has no area. Any other value, or a block holding anything but
// file! values, raises script invalid-arg before the clipboard is touched. Answers whether the
// back end opened and took every kind.
bool clipboard_write(const Cell& value);

}  // namespace qel
