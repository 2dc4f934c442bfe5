// http-fixture.h: the local HTTP test server (tests/fixtures/http_server.py) as a child process
// for the life of a guard: started on 127.0.0.1, its port read from its first line, killed when
// the guard goes (and when the process holding it dies). Tests never reach any other host.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace qel::cases {

class HttpFixture {
 public:
  // extra_arguments: what the server takes after its name ("--tls", cert, key).
  explicit HttpFixture(const std::vector<std::string>& extra_arguments = {});
  ~HttpFixture();
  HttpFixture(const HttpFixture&) = delete;
  HttpFixture& operator=(const HttpFixture&) = delete;

  // The port it listens on; 0 when it could not be started.
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by the path.
  std::string url(std::string_view path) const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// Keeps requests to the fixture off any proxy the environment names.
void bypass_proxy_for_fixture();

}  // namespace qel::cases
