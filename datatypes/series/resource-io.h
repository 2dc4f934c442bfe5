// resource-io.h: the I/O actions of file! and url!: each refuses the refinements its service does
// not take (internal not-done, before any call), then hands the value to the file, OS, HTTP or
// port service (runtime/services.h) and maps the answer to the action's result.
//
// A url! whose text starts with "http" (code point by code point) goes to the HTTP request
// service; any other url! is parsed, made into a port through its scheme, and the port's own
// action runs with the same refinements.
#pragma once

#include "runtime/cell.h"

namespace qel {

// file!: read refuses /as; write refuses /allow and /as and answers unset!; delete and rename
// answer logic!; query answers what the service answers.
Cell* file_read(Cell& source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as);
Cell* file_write(Cell& destination, Cell& data, bool binary, bool lines, bool info, bool append, Cell* part, Cell* seek,
                 Cell* allow, Cell* as);
Cell* file_delete(Cell& file);
Cell* file_query(Cell& file);
Cell* file_rename(Cell& from, Cell& to);

// url!: over HTTP read refuses /part, /seek and /as, write /seek, /allow and /as; a none!
// answer raises access no-connect with the url. open makes the port and opens it; when no port
// results, script invalid-arg with the url.
Cell* url_read(Cell& source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as);
Cell* url_write(Cell& destination, Cell& data, bool binary, bool lines, bool info, bool append, Cell* part, Cell* seek,
                Cell* allow, Cell* as);
Cell* url_open(Cell& url, bool new_, bool read, bool write, bool seek, Cell* allow);

}  // namespace qel
