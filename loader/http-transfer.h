// http-transfer.h: one HTTP exchange on the network library: a request goes out whole, the
// final response comes back whole (status, header lines, body bytes), or the reason it failed.
//
// Nothing here knows language values: the request is built and checked by http-request.*, which
// also maps the answer. Each exchange has a handle of its own and keeps no connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "loader/file-bytes.h"

namespace qel {

// The limits of an exchange (tests lower them to reach a timeout quickly).
struct HttpOptions {
  long connect_timeout_seconds = 30;  // to open the connection
  long low_speed_seconds = 30;        // an exchange slower than low_speed_bytes per second this
  long low_speed_bytes = 1;           // long is aborted; the whole exchange has no cap
  uint64_t body_cap = kSeriesByteCeiling;  // the most body bytes a series can hold
};
inline HttpOptions http_options;

struct HttpCall {
  std::string url;                   // percent-encoded
  std::string method;                // an HTTP token: "GET", "HEAD", "POST", "PATCH" ...
  std::vector<std::string> headers;  // "Name: value" lines, sent in order, and nothing else
  std::optional<std::string> body;   // none: no body goes out
};

struct HttpResponse {
  int32_t status = 0;
  std::string header_text;    // the final response's header lines, as the server sent them
  std::vector<uint8_t> body;
};

// Why an exchange failed: `reason` names the network library's error in lower case with "-"
// ("couldnt-connect", "peer-failed-verification"), or is "timeout"; `text` is its message;
// `too_large` is set when the body passed body_cap.
struct HttpFailure {
  std::string reason;
  std::string text;
  bool too_large = false;
};

// Runs the exchange; redirects are followed (http and https only, at most 10).
bool http_transfer(const HttpCall& call, HttpResponse& response, HttpFailure& failure);

// The reason word of a network library error code ("unknown" for a code it does not know).
std::string http_failure_reason(int code);

}  // namespace qel
