// http-request.cpp: request building and checks, then the answer's mapping. Every check runs
// before the exchange, so a refused request sends nothing.
#include "loader/http-request.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "datatypes/scalars/integer.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/percent-coding.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "loader/http-headers.h"
#include "loader/http-transfer.h"
#include "loader/text-from-bytes.h"
#include "runtime/action-entries.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// Sent when the caller names no headers, in this order.
constexpr std::string_view kDefaultHeaders[] = {
    "Content-Type: application/x-www-form-urlencoded",
    "Accept-Charset: utf-8",
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)",
};

// A method or header name: letters, digits and !#$%&'*+-.^_`|~, at least one.
bool is_token(std::string_view text) {
  constexpr std::string_view kMarks = "!#$%&'*+-.^_`|~";
  return !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
    return std::isalnum(static_cast<uint8_t>(c)) || kMarks.find(c) != std::string_view::npos;
  });
}

bool is_name_word(Type type) {
  return type == Type::word || type == Type::set_word || type == Type::lit_word || type == Type::get_word;
}

// --- The request ---------------------------------------------------------------------------------

// The method word's spelling in upper case.
std::string method_text(const Cell& word) {
  if (cell_type(word) != Type::word) raise_invalid_arg(word);
  std::string method(symbol_name(word.w2));
  for (char& c : method) c = static_cast<char>(std::toupper(static_cast<uint8_t>(c)));
  if (!is_token(method)) raise_invalid_arg(word);
  return method;
}

// A header name or value as text: a word by its spelling, a string! from its index, anything
// else formed.
std::string header_part(const Cell& value, bool name) {
  Type type = cell_type(value);
  if (name && is_name_word(type)) return std::string(symbol_name(value.w2));
  if (type == Type::string) return string_to_utf8(value);
  return form_value_text(value);
}

// "Name: value" lines from a block of pairs (an empty value goes out as "Name;", libcurl's way
// of sending a header with nothing after its colon).
std::vector<std::string> header_lines(const Cell& block) {
  if (cell_type(block) != Type::block || block_length(block) % 2 != 0) raise_invalid_arg(block);
  std::vector<std::string> lines;
  for (int64_t i = 0; i < block_length(block); i += 2) {
    Cell name_cell = *block_cell_at(block, block.w1 + i);
    Cell value_cell = *block_cell_at(block, block.w1 + i + 1);
    std::string name = header_part(name_cell, true);
    if (!is_token(name)) raise_invalid_arg(name_cell);
    std::string value = header_part(value_cell, false);
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) raise_invalid_arg(value_cell);
    lines.push_back(value.empty() ? name + ";" : name + ": " + value);
  }
  return lines;
}

std::vector<std::string> default_header_lines() { return {std::begin(kDefaultHeaders), std::end(kDefaultHeaders)}; }

// A body's bytes: a binary! or a string! (as UTF-8, LF and U+0000 kept) from its index.
std::string body_bytes(const Cell& value) {
  if (cell_type(value) == Type::string) return string_to_utf8(value, -1, false);
  if (cell_type(value) != Type::binary) raise_invalid_arg(value);
  std::vector<uint8_t> bytes = binary_copy_bytes(value);
  return {bytes.begin(), bytes.end()};
}

// What a write's block asks for: [method headers body], each part optional.
void read_write_block(const Cell& block, HttpCall& call) {
  int64_t count = std::max<int64_t>(block_length(block), 0);
  if (count > 3) raise_invalid_arg(*block_cell_at(block, block.w1 + 3));
  call.method = count > 0 ? method_text(*block_cell_at(block, block.w1)) : "GET";
  call.headers = count > 1 ? header_lines(*block_cell_at(block, block.w1 + 1)) : default_header_lines();
  if (count > 2) call.body = body_bytes(*block_cell_at(block, block.w1 + 2));
}

HttpCall build_call(const HttpRequest& request) {
  HttpCall call;
  call.url = percent_encode_text(request.url, PercentTable::url_mold);
  if (!request.write) {
    call.method = "GET";
    call.headers = default_header_lines();
  } else if (cell_type(request.data) == Type::block) {
    read_write_block(request.data, call);
  } else {
    call.method = "POST";
    call.headers = default_header_lines();
    call.body = body_bytes(request.data);
  }
  if (call.method == "GET" || call.method == "HEAD") call.body.reset();
  return call;
}

// --- The answer ----------------------------------------------------------------------------------

[[noreturn]] void raise_failure(const Cell& url, const HttpFailure& failure) {
  if (failure.too_large) raise_error(error_id("internal", "limit-hit"), url);
  Cell reason = make_cell(Type::word, 0, symbol_intern_bytes(failure.reason), kUnresolved);
  GcRoot<Cell> text(string_from_os_text(failure.text));
  raise_error(error_id("access", "no-connect"), url, reason, *text);
}

// [status headers body]
Cell info_block(const HttpResponse& response, const HttpRequest& request) {
  GcRoot<Cell> headers(http_headers_to_map(response.header_text));
  GcRoot<Cell> body(value_from_bytes(response.body, request.binary, request.lines));
  GcRoot<Cell> block;
  block_make_at(*block, 3);
  integer_make_in(*block, response.status);
  block_append_copy(*block, *headers);
  block_append_copy(*block, *body);
  return *block;
}

bool is_success(int32_t status) { return status >= 200 && status <= 299; }

}  // namespace

Cell http_request(const HttpRequest& request) {
  HttpCall call = build_call(request);
  HttpResponse response;
  HttpFailure failure;
  if (!http_transfer(call, response, failure)) raise_failure(request.url, failure);
  if (request.info) return info_block(response, request);
  // An error page is no resource: it must not come back as if it were the one asked for.
  if (!is_success(response.status))
    raise_error(error_id("access", "cannot-open"), request.url, make_cell(Type::integer, 0, static_cast<uint32_t>(response.status)));
  return value_from_bytes(response.body, request.binary, request.lines);
}

}  // namespace qel
