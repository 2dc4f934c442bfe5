// http-transfer.cpp: the exchange on libcurl's easy interface. Every handle, list and buffer is
// held by a guard; no C++ exception crosses a libcurl frame (the callbacks catch and abort).
// The library is loaded at the first exchange: with its dependencies it would more than double
// the start-up of every program.
#include "loader/http-transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>

#include "runtime/shared-library.h"

namespace qel {

namespace {

// --- Error codes ---------------------------------------------------------------------------------

struct CodeName {
  CURLcode code;
  const char* name;  // the code's name without its prefix
};

#define QEL_CURL_CODE(name) {CURLE_##name, #name}
// The codes an http or https exchange can end with.
constexpr CodeName kCodeNames[] = {
    QEL_CURL_CODE(UNSUPPORTED_PROTOCOL),   QEL_CURL_CODE(FAILED_INIT),
    QEL_CURL_CODE(URL_MALFORMAT),          QEL_CURL_CODE(NOT_BUILT_IN),
    QEL_CURL_CODE(COULDNT_RESOLVE_PROXY),  QEL_CURL_CODE(COULDNT_RESOLVE_HOST),
    QEL_CURL_CODE(COULDNT_CONNECT),        QEL_CURL_CODE(WEIRD_SERVER_REPLY),
    QEL_CURL_CODE(REMOTE_ACCESS_DENIED),   QEL_CURL_CODE(HTTP2),
    QEL_CURL_CODE(PARTIAL_FILE),           QEL_CURL_CODE(HTTP_RETURNED_ERROR),
    QEL_CURL_CODE(WRITE_ERROR),            QEL_CURL_CODE(UPLOAD_FAILED),
    QEL_CURL_CODE(READ_ERROR),             QEL_CURL_CODE(OUT_OF_MEMORY),
    QEL_CURL_CODE(OPERATION_TIMEDOUT),     QEL_CURL_CODE(RANGE_ERROR),
    QEL_CURL_CODE(HTTP_POST_ERROR),        QEL_CURL_CODE(SSL_CONNECT_ERROR),
    QEL_CURL_CODE(BAD_DOWNLOAD_RESUME),    QEL_CURL_CODE(ABORTED_BY_CALLBACK),
    QEL_CURL_CODE(BAD_FUNCTION_ARGUMENT),  QEL_CURL_CODE(INTERFACE_FAILED),
    QEL_CURL_CODE(TOO_MANY_REDIRECTS),     QEL_CURL_CODE(UNKNOWN_OPTION),
    QEL_CURL_CODE(SETOPT_OPTION_SYNTAX),   QEL_CURL_CODE(GOT_NOTHING),
    QEL_CURL_CODE(SSL_ENGINE_NOTFOUND),    QEL_CURL_CODE(SSL_ENGINE_SETFAILED),
    QEL_CURL_CODE(SEND_ERROR),             QEL_CURL_CODE(RECV_ERROR),
    QEL_CURL_CODE(SSL_CERTPROBLEM),        QEL_CURL_CODE(SSL_CIPHER),
    QEL_CURL_CODE(PEER_FAILED_VERIFICATION), QEL_CURL_CODE(BAD_CONTENT_ENCODING),
    QEL_CURL_CODE(FILESIZE_EXCEEDED),      QEL_CURL_CODE(USE_SSL_FAILED),
    QEL_CURL_CODE(SEND_FAIL_REWIND),       QEL_CURL_CODE(SSL_ENGINE_INITFAILED),
    QEL_CURL_CODE(LOGIN_DENIED),           QEL_CURL_CODE(SSL_CACERT_BADFILE),
    QEL_CURL_CODE(REMOTE_FILE_NOT_FOUND),  QEL_CURL_CODE(SSL_SHUTDOWN_FAILED),
    QEL_CURL_CODE(AGAIN),                  QEL_CURL_CODE(SSL_CRL_BADFILE),
    QEL_CURL_CODE(SSL_ISSUER_ERROR),       QEL_CURL_CODE(CHUNK_FAILED),
    QEL_CURL_CODE(NO_CONNECTION_AVAILABLE), QEL_CURL_CODE(SSL_PINNEDPUBKEYNOTMATCH),
    QEL_CURL_CODE(SSL_INVALIDCERTSTATUS),  QEL_CURL_CODE(HTTP2_STREAM),
    QEL_CURL_CODE(RECURSIVE_API_CALL),     QEL_CURL_CODE(AUTH_ERROR),
    QEL_CURL_CODE(HTTP3),                  QEL_CURL_CODE(QUIC_CONNECT_ERROR),
    QEL_CURL_CODE(PROXY),                  QEL_CURL_CODE(SSL_CLIENTCERT),
    QEL_CURL_CODE(UNRECOVERABLE_POLL),
};
#undef QEL_CURL_CODE

// --- The library ---------------------------------------------------------------------------------

enum CurlFunction : size_t {
  kGlobalInit, kEasyInit, kEasyCleanup, kEasySetopt, kEasyPerform, kEasyGetinfo, kEasyStrerror, kSlistAppend,
  kSlistFreeAll
};
SharedLibrary<9> curl_library("libcurl.so.4",
                              {"curl_global_init", "curl_easy_init", "curl_easy_cleanup", "curl_easy_setopt",
                               "curl_easy_perform", "curl_easy_getinfo", "curl_easy_strerror", "curl_slist_append",
                               "curl_slist_free_all"});

// The library function in the slot, typed as its declaration.
template <typename Declared>
Declared* curl(CurlFunction slot) {
  return curl_library.function<Declared>(slot);
}

// An option of the exchange; the value's type is the option's (long, curl_off_t, a pointer).
template <typename Value>
void set_option(CURL* handle, CURLoption option, Value value) {
  curl<decltype(curl_easy_setopt)>(kEasySetopt)(handle, option, value);
}

// --- Guards --------------------------------------------------------------------------------------

struct EasyCleanup {
  void operator()(CURL* handle) const { curl<decltype(curl_easy_cleanup)>(kEasyCleanup)(handle); }
};
struct ListCleanup {
  void operator()(curl_slist* list) const { curl<decltype(curl_slist_free_all)>(kSlistFreeAll)(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;
using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;

// The library is loaded and set up once, at the first exchange.
bool global_init() {
  static const bool ready =
      curl_library.loaded() && curl<decltype(curl_global_init)>(kGlobalInit)(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

// --- Receiving -----------------------------------------------------------------------------------

// What the callbacks fill while the exchange runs.
struct Receiver {
  HttpResponse& response;
  uint64_t cap;
  CURL* handle;
  bool too_large = false;
};

// Room for the whole body at its first bytes when the response announces its length, so a
// large body is not copied again each time the buffer would grow.
void reserve_announced(Receiver& receiver) {
  curl_off_t announced = -1;
  if (curl<decltype(curl_easy_getinfo)>(kEasyGetinfo)(receiver.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) != CURLE_OK) return;
  if (announced > 0 && static_cast<uint64_t>(announced) <= receiver.cap)
    receiver.response.body.reserve(static_cast<size_t>(announced));
}

// Body bytes; answering less than was given aborts the exchange.
size_t receive_body(char* data, size_t size, size_t count, void* user) {
  Receiver& receiver = *static_cast<Receiver*>(user);
  size_t bytes = size * count;
  std::vector<uint8_t>& body = receiver.response.body;
  if (body.size() + bytes > receiver.cap) {
    receiver.too_large = true;
    return 0;
  }
  try {
    if (body.capacity() == 0) reserve_announced(receiver);
    body.insert(body.end(), data, data + bytes);
  } catch (...) {
    return 0;  // no memory: the exchange fails as a write error
  }
  return bytes;
}

// One whole header line. A status line starts a response's block, so after redirects and
// interim responses (100 Continue) only the final response's lines remain.
size_t receive_header(char* data, size_t size, size_t count, void* user) {
  Receiver& receiver = *static_cast<Receiver*>(user);
  size_t bytes = size * count;
  std::string_view line(data, bytes);
  try {
    if (line.starts_with("HTTP/")) receiver.response.header_text.clear();
    else receiver.response.header_text.append(line);
  } catch (...) {
    return 0;
  }
  return bytes;
}

// --- Sending -------------------------------------------------------------------------------------

bool names_header(const HttpCall& call, std::string_view name) {
  return std::any_of(call.headers.begin(), call.headers.end(), [&](const std::string& line) {
    return line.size() > name.size() && (line[name.size()] == ':' || line[name.size()] == ';') &&
           std::equal(name.begin(), name.end(), line.begin(),
                      [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); });
  });
}

// The header list: the call's lines, then a removal line for each header libcurl would add
// of its own, so only what the caller gave goes out (besides Host and Content-Length).
bool build_header_list(const HttpCall& call, HeaderList& list) {
  static constexpr std::string_view kOwnHeaders[] = {"Accept", "Expect", "Content-Type"};
  std::vector<std::string> lines = call.headers;
  for (std::string_view own : kOwnHeaders)
    if (!names_header(call, own)) lines.push_back(std::string(own) + ":");
  for (const std::string& line : lines) {
    curl_slist* longer = curl<decltype(curl_slist_append)>(kSlistAppend)(list.get(), line.c_str());
    if (!longer) return false;
    list.release();
    list.reset(longer);
  }
  return true;
}

// The method and the body: HEAD asks for no body, POST and other methods with a body send it
// as it is, any other method goes out by its name.
void set_method(CURL* handle, const HttpCall& call) {
  if (call.method == "HEAD") set_option(handle, CURLOPT_NOBODY, 1L);
  else if (call.method == "GET") set_option(handle, CURLOPT_HTTPGET, 1L);
  if (call.method == "POST" || (call.body && call.method != "GET" && call.method != "HEAD")) {
    // libcurl reads the body from the call's own memory while the exchange runs.
    static constexpr char kNoBytes[] = "";
    const char* bytes = call.body ? call.body->data() : kNoBytes;
    curl_off_t size = call.body ? static_cast<curl_off_t>(call.body->size()) : 0;
    set_option(handle, CURLOPT_POSTFIELDSIZE_LARGE, size);
    set_option(handle, CURLOPT_POSTFIELDS, bytes);
  }
  if (call.method != "GET" && call.method != "HEAD" && call.method != "POST")
    set_option(handle, CURLOPT_CUSTOMREQUEST, call.method.c_str());
}

void set_options(CURL* handle, const HttpCall& call, curl_slist* headers, Receiver& receiver, char* error_text) {
  set_option(handle, CURLOPT_URL, call.url.c_str());
  set_option(handle, CURLOPT_ERRORBUFFER, error_text);
  set_option(handle, CURLOPT_NOSIGNAL, 1L);
  set_option(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  set_option(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  set_option(handle, CURLOPT_FOLLOWLOCATION, 1L);
  set_option(handle, CURLOPT_MAXREDIRS, 10L);
  set_option(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  set_option(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  // HTTP/1.1, so header names arrive as the server spells them.
  set_option(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set_option(handle, CURLOPT_CONNECTTIMEOUT, http_options.connect_timeout_seconds);
  set_option(handle, CURLOPT_LOW_SPEED_TIME, http_options.low_speed_seconds);
  set_option(handle, CURLOPT_LOW_SPEED_LIMIT, http_options.low_speed_bytes);
  set_option(handle, CURLOPT_HTTPHEADER, headers);
  set_option(handle, CURLOPT_WRITEFUNCTION, receive_body);
  set_option(handle, CURLOPT_WRITEDATA, &receiver);
  set_option(handle, CURLOPT_HEADERFUNCTION, receive_header);
  set_option(handle, CURLOPT_HEADERDATA, &receiver);
  set_method(handle, call);
}

void fail_with(HttpFailure& failure, CURLcode code, const char* error_text) {
  failure.reason = http_failure_reason(code);
  failure.text = *error_text            ? error_text
                 : curl_library.loaded() ? curl<decltype(curl_easy_strerror)>(kEasyStrerror)(code)
                                         : "the HTTP library libcurl.so.4 could not be loaded";
}

}  // namespace

std::string http_failure_reason(int code) {
  if (code == CURLE_OPERATION_TIMEDOUT) return "timeout";
  for (const CodeName& entry : kCodeNames) {
    if (entry.code != code) continue;
    std::string reason(entry.name);
    for (char& c : reason) c = c == '_' ? '-' : static_cast<char>(std::tolower(uint8_t(c)));
    return reason;
  }
  return "unknown";
}

bool http_transfer(const HttpCall& call, HttpResponse& response, HttpFailure& failure) {
  char error_text[CURL_ERROR_SIZE] = {};
  if (!global_init()) {
    fail_with(failure, CURLE_FAILED_INIT, error_text);
    return false;
  }
  EasyHandle handle(curl<decltype(curl_easy_init)>(kEasyInit)());
  HeaderList headers;
  if (!handle || !build_header_list(call, headers)) {
    fail_with(failure, CURLE_OUT_OF_MEMORY, error_text);
    return false;
  }
  Receiver receiver{response, http_options.body_cap, handle.get()};
  set_options(handle.get(), call, headers.get(), receiver, error_text);
  CURLcode code = curl<decltype(curl_easy_perform)>(kEasyPerform)(handle.get());
  if (receiver.too_large) {
    failure.too_large = true;
    return false;
  }
  if (code != CURLE_OK) {
    fail_with(failure, code, error_text);
    return false;
  }
  long status = 0;
  curl<decltype(curl_easy_getinfo)>(kEasyGetinfo)(handle.get(), CURLINFO_RESPONSE_CODE, &status);
  response.status = static_cast<int32_t>(status);
  return true;
}

}  // namespace qel
