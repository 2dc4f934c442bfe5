// console-delimiters.h: whether collected console input is complete, still open, or wrong.
//
// The text goes through the lexer with a tracer on the open, close and error events. Opening
// characters are kept on a stack as constructs open and close; an error event is either the
// text merely ending inside something (a block, paren, map or point with no closer anywhere
// after it, a braced or raw string, a binary, a tag: the input is unfinished) or a real syntax
// error, which the load of the command reports.
#pragma once

#include <string>
#include <string_view>

namespace qel {

struct DelimiterCheck {
  bool sound = true;  // false: the text holds a real syntax error
  std::string open;   // the opening characters still open, innermost last
};

// Checks text that ends in a line end.
DelimiterCheck check_delimiters(std::string_view text);

}  // namespace qel
