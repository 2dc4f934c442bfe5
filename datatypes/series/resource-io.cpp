// resource-io.cpp: the I/O actions of file! and url! on the service boundary.
#include "datatypes/series/resource-io.h"

#include "datatypes/scalars/logic.h"
#include "datatypes/series/string-core.h"
#include "runtime/action-lookup.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/services.h"

namespace qel {

namespace {

// Refuses a refinement the service does not take, before anything is called.
void refuse(bool given) {
  if (given) raise_error(error_id("internal", "not-done"));
}

bool is_http(const Cell& url) { return string_starts_with(url, "http"); }

// The answer of an HTTP request; none! is a failure: access no-connect naming the url.
Cell* http_answer(Cell& url, const HttpRequest& request) {
  Cell answer = services().http_request(request);
  if (cell_type(answer) == Type::none) raise_error(error_id("access", "no-connect"), url);
  url = answer;
  return &url;
}

// A port made through the url's scheme (kept rooted by the caller), or none!.
Cell url_port(const Cell& url) {
  GcRoot<Cell> spec(services().parse_url(url));
  return services().port_make(*spec);
}

// The port a url's read or write runs on: a value that is no port! raises script invalid-arg
// naming the url.
Cell checked_url_port(const Cell& url) {
  Cell port = url_port(url);
  if (cell_type(port) != Type::port) raise_error(error_id("script", "invalid-arg"), url);
  return port;
}

}  // namespace

// --- file! ----------------------------------------------------------------------------------------

Cell* file_read(Cell& source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as) {
  refuse(as);
  source = services().file_read_dispatch(source, {part, seek, binary, lines, info, nullptr});
  return &source;
}

Cell* file_write(Cell& destination, Cell& data, bool binary, bool lines, bool info, bool append, Cell* part, Cell* seek,
                 Cell* allow, Cell* as) {
  refuse(allow);
  refuse(as);
  services().file_write_dispatch(destination, data, {binary, lines, info, append, part, seek, nullptr, nullptr});
  destination = make_cell(Type::unset);
  return &destination;
}

Cell* file_delete(Cell& file) {
  logic_make_at(file, services().os_delete(file));
  return &file;
}

Cell* file_query(Cell& file) {
  file = services().os_query_file(file);
  return &file;
}

Cell* file_rename(Cell& from, Cell& to) {
  logic_make_at(from, services().os_rename(from, to));
  return &from;
}

// --- url! -------------------------------------------------------------------------------------------

Cell* url_read(Cell& source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as) {
  if (is_http(source)) {
    refuse(part);
    refuse(seek);
    refuse(as);
    return http_answer(source, {source, false, make_cell(Type::none), binary, lines, info, false, nullptr});
  }
  GcRoot<Cell> port(checked_url_port(source));
  Cell* answer = lookup_action_for_value<Act::Read>(*port)(*port, part, seek, binary, lines, info, as);
  source = *answer;
  return &source;
}

Cell* url_write(Cell& destination, Cell& data, bool binary, bool lines, bool info, bool append, Cell* part, Cell* seek,
                Cell* allow, Cell* as) {
  if (is_http(destination)) {
    refuse(seek);
    refuse(allow);
    refuse(as);
    return http_answer(destination, {destination, true, data, binary, lines, info, append, part});
  }
  GcRoot<Cell> port(checked_url_port(destination));
  Cell* answer =
      lookup_action_for_value<Act::Write>(*port)(*port, data, binary, lines, info, append, part, seek, allow, as);
  destination = *answer;
  return &destination;
}

Cell* url_open(Cell& url, bool new_, bool read, bool write, bool seek, Cell* allow) {
  GcRoot<Cell> port(checked_url_port(url));
  Cell* answer = lookup_action_for_value<Act::Open>(*port)(*port, new_, read, write, seek, allow);
  url = *answer;
  return &url;
}

}  // namespace qel
