// http-test.cpp: what the case files cannot reach in the HTTP layer: timeouts, TLS refusal,
// large bodies and the body cap, against the local test server; and the header-line parse on
// texts no real server sends.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "datatypes/series/url.h"
#include "loader/http-headers.h"
#include "loader/http-request.h"
#include "loader/http-transfer.h"
#include "tests/series/string-fixture.h"
#include "tools/case-driver/child-process.h"
#include "tools/case-driver/http-fixture.h"

namespace qel {
namespace {

using cases::HttpFixture;

class HttpTransferTest : public StringActions {
 protected:
  void SetUp() override {
    StringActions::SetUp();
    cases::bypass_proxy_for_fixture();
    http_options.connect_timeout_seconds = 1;
    http_options.low_speed_seconds = 1;
  }
  void TearDown() override {
    http_options = HttpOptions{};
    StringActions::TearDown();
  }

  static bool get(const std::string& url, HttpResponse& response, HttpFailure& failure) {
    return http_transfer({url, "GET", {}, std::nullopt}, response, failure);
  }
};

// A server that sends its headers and then nothing is given up on within the low-speed time,
// and the language sees access no-connect naming the url with the reason timeout.
TEST_F(HttpTransferTest, ASilentServerTimesOut) {
  HttpFixture server;
  ASSERT_NE(server.port(), 0);
  auto start = std::chrono::steady_clock::now();
  HttpResponse response;
  HttpFailure failure;
  EXPECT_FALSE(get(server.url("/stall"), response, failure));
  EXPECT_EQ(failure.reason, "timeout");
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::seconds(3)) << std::chrono::duration<double>(waited).count() << " s";
}

TEST_F(HttpTransferTest, ASilentServerRaisesNoConnectTimeout) {
  HttpFixture server;
  ASSERT_NE(server.port(), 0);
  Cell url = make_cell(Type::url, 0, text_value(server.url("/stall")).w2);
  StandInError error = raised_error(
      [&] { http_request({url, false, make_cell(Type::none), false, false, false, false, nullptr}); });
  EXPECT_EQ(error.id, error_id("access", "no-connect"));
  EXPECT_EQ(utf8_of(error.args[0]), server.url("/stall"));
  EXPECT_EQ(std::string(symbol_name(error.args[1].w2)), "timeout");
  EXPECT_EQ(cell_type(error.args[2]), Type::string);
}

// A certificate no authority signed is refused before anything is read.
TEST_F(HttpTransferTest, ASelfSignedCertificateIsRefused) {
  cases::TemporaryDirectory folder;
  std::string cert = folder.path() + "/cert.pem", key = folder.path() + "/key.pem";
  cases::ChildRun openssl;
  openssl.arguments = {"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                       "-out", cert, "-days", "1", "-subj", "/CN=127.0.0.1"};
  cases::ChildResult made = cases::run_child(openssl);
  ASSERT_EQ(made.exit_status, 0) << made.errors;
  HttpFixture server({"--tls", cert, key});
  ASSERT_NE(server.port(), 0);
  HttpResponse response;
  HttpFailure failure;
  EXPECT_FALSE(get("https://127.0.0.1:" + std::to_string(server.port()) + "/text", response, failure));
  EXPECT_EQ(failure.reason, "peer-failed-verification");
  EXPECT_FALSE(failure.text.empty());
  EXPECT_TRUE(response.body.empty());
}

// A large body arrives whole and in order; one past the cap stops the exchange.
TEST_F(HttpTransferTest, LargeBodiesReadWholeUpToTheCap) {
  http_options = HttpOptions{};  // a busy machine may pause the server for a while
  HttpFixture server;
  ASSERT_NE(server.port(), 0);
  constexpr size_t kSize = 50 << 20;
  HttpResponse response;
  HttpFailure failure;
  ASSERT_TRUE(get(server.url("/bytes/" + std::to_string(kSize)), response, failure)) << failure.text;
  ASSERT_EQ(response.body.size(), kSize);
  bool in_order = true;
  for (size_t i = 0; i < kSize && in_order; i += 4093) in_order = response.body[i] == static_cast<uint8_t>(i % 256);
  EXPECT_TRUE(in_order);
  EXPECT_EQ(response.status, 200);

  http_options.body_cap = 1000;
  HttpResponse capped;
  EXPECT_FALSE(get(server.url("/bytes/1001"), capped, failure));
  EXPECT_TRUE(failure.too_large);
  HttpResponse fits;
  EXPECT_TRUE(get(server.url("/bytes/1000"), fits, failure));
  EXPECT_EQ(fits.body.size(), 1000u);
}

// Reasons name the library's error in the language's spelling; a timeout is its own word.
TEST(HttpFailureReason, NamesCodesAsWords) {
  EXPECT_EQ(http_failure_reason(7), "couldnt-connect");
  EXPECT_EQ(http_failure_reason(28), "timeout");
  EXPECT_EQ(http_failure_reason(60), "peer-failed-verification");
  EXPECT_EQ(http_failure_reason(100000), "unknown");
}

// Each line is read only up to its own end: no blank after the colon, LF alone, a last line
// without an end, lines that hold no field.
TEST(HttpHeaderFields, LinesSplitAtTheirFirstColon) {
  using Fields = std::vector<std::pair<std::string_view, std::string_view>>;
  struct Row {
    std::string_view text;
    Fields fields;
  };
  const Row rows[] = {
      {"X-Tight:1\r\n", {{"X-Tight", "1"}}},
      {"A:  \t b c\r\nB: 2\n", {{"A", "b c"}, {"B", "2"}}},
      {"Last: end", {{"Last", "end"}}},
      {"Last: end\r", {{"Last", "end"}}},
      {"Time: 10:20:30\r\n", {{"Time", "10:20:30"}}},
      {"Empty:\r\n\r\n", {{"Empty", ""}}},
      {"no colon\r\n: no name\r\n\r\n", {}},
      {"", {}},
  };
  for (const Row& row : rows) EXPECT_EQ(http_header_fields(row.text), row.fields) << row.text;
}

}  // namespace
}  // namespace qel
