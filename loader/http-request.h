// http-request.h: the HTTP service behind read and write of an "http" url!: the request built
// from the action's values and checked whole before anything is sent, one exchange, and the
// answer made into the action's result.
#pragma once

#include "runtime/cell.h"
#include "runtime/services.h"

namespace qel {

// http-request: a read is a GET with the default headers; a write sends its data: a block
// [method headers body] (each optional: [] is a GET with the default headers), or any other
// value as the body of a POST with the default headers. The result is the body as a string!,
// a binary! (/binary) or a block of lines (/lines); with /info a block of the status, a map! of
// the response headers and the body.
//
// Refused before sending (script invalid-arg with the value): a method that is no word! or no
// HTTP token, headers that are no block! or not in pairs, a header name that is no token, a
// header value holding CR, LF or NUL, a body that is no string! or binary!, a fourth value.
// Without /info a final status outside 200-299 raises access cannot-open (the url, the status);
// a failed exchange access no-connect (the url, the reason word, the library's message); a
// body past the series ceiling internal limit-hit.
Cell http_request(const HttpRequest& request);

}  // namespace qel
