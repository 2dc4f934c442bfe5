// The I/O actions of file! and url! against recording doubles of the file, OS, HTTP and port
// services: what is refused before any call, where each request goes, what it carries, and how
// answers become results. Also the OS form of file paths.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "datatypes/scalars/integer.h"
#include "datatypes/series/url.h"
#include "runtime/action-lookup.h"
#include "runtime/os-environment.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

constexpr ErrorId kNotDone = error_id("internal", "not-done");

constexpr size_t kReadPart = refinement_position(Act::Read, "part");
constexpr size_t kReadSeek = refinement_position(Act::Read, "seek");
constexpr size_t kReadLines = refinement_position(Act::Read, "lines");
constexpr size_t kReadAs = refinement_position(Act::Read, "as");
constexpr size_t kWriteAppend = refinement_position(Act::Write, "append");
constexpr size_t kWritePart = refinement_position(Act::Write, "part");
constexpr size_t kWriteSeek = refinement_position(Act::Write, "seek");
constexpr size_t kWriteAllow = refinement_position(Act::Write, "allow");
constexpr size_t kWriteAs = refinement_position(Act::Write, "as");

// What the doubles saw, one line per call.
std::vector<std::string> calls;
Cell http_answer;
Cell made_port;

std::string text_of(const Cell& value) { return string_to_utf8(value); }

void install_doubles() {
  calls.clear();
  http_answer = make_cell(Type::none);
  made_port = make_cell(Type::none);
  Services& s = services();
  s.file_read_dispatch = [](const Cell& file, const ReadRefinements& r) {
    calls.push_back("read " + text_of(file) + (r.lines ? " lines" : "") + (r.part ? " part" : ""));
    return int_cell(7);
  };
  s.file_write_dispatch = [](const Cell& file, const Cell& data, const WriteRefinements& r) {
    calls.push_back("write " + text_of(file) + " " + text_of(data) + (r.append ? " append" : ""));
  };
  s.os_query_file = [](const Cell& file) {
    calls.push_back("query " + text_of(file));
    return int_cell(3);
  };
  s.os_delete = [](const Cell& file) {
    calls.push_back("delete " + text_of(file));
    return true;
  };
  s.os_rename = [](const Cell& file, const Cell& to) {
    calls.push_back("rename " + text_of(file) + " " + text_of(to));
    return false;
  };
  s.http_request = [](const HttpRequest& request) {
    calls.push_back(std::string(request.write ? "http write " : "http read ") + text_of(request.url) +
                    (request.write ? " " + text_of(request.data) : "") + (request.part ? " part" : ""));
    return http_answer;
  };
  s.parse_url = [](const Cell& url) {
    calls.push_back("parse " + text_of(url));
    return text_value("spec");
  };
  s.port_make = [](const Cell& spec) {
    calls.push_back("port " + text_of(spec));
    return made_port;
  };
}

class ResourceIoTest : public StringActions {
 protected:
  void SetUp() override {
    StringActions::SetUp();
    install_doubles();
  }
  void TearDown() override {
    reset_port_actors();
    StringActions::TearDown();
  }
};

Cell file_value(const char* text) { return string_value(text_value(text).w2, 0, Type::file); }
Cell url_value(const char* text) { return string_value(text_value(text).w2, 0, Type::url); }

TEST_F(ResourceIoTest, RefusedRefinementsCallNoService) {
  Cell encoding = word_value("utf8");
  Cell five = int_cell(5);
  Cell data = text_value("x");
  struct Row {
    Act action;
    Cell target;
    Refinement refinement;
  };
  const Row rows[] = {
      {Act::Read, file_value("a.txt"), {kReadAs, true, {&encoding, 1}}},
      {Act::Write, file_value("a.txt"), {kWriteAllow, true, {&data, 1}}},
      {Act::Write, file_value("a.txt"), {kWriteAs, true, {&encoding, 1}}},
      {Act::Read, url_value("http://h"), {kReadPart, true, {&five, 1}}},
      {Act::Read, url_value("http://h"), {kReadSeek, true, {&five, 1}}},
      {Act::Read, url_value("https://h"), {kReadAs, true, {&encoding, 1}}},
      {Act::Write, url_value("http://h"), {kWriteSeek, true, {&five, 1}}},
      {Act::Write, url_value("http://h"), {kWriteAllow, true, {&data, 1}}},
      {Act::Write, url_value("http://h"), {kWriteAs, true, {&encoding, 1}}},
  };
  for (const Row& row : rows) {
    Cell target = row.target;
    StandInError error = raised_error([&] {
      if (row.action == Act::Read) act(Act::Read, {target}, {row.refinement});
      else act(Act::Write, {target, data}, {row.refinement});
    });
    EXPECT_EQ(error.id, kNotDone);
  }
  EXPECT_TRUE(calls.empty());
}

TEST_F(ResourceIoTest, FileActionsReachTheirServicesAndMapTheAnswers) {
  Cell result = act(Act::Read, {file_value("a.txt")}, {{kReadLines}});
  EXPECT_EQ(integer_value(result), 7);
  Cell data = text_value("hi");
  result = act(Act::Write, {file_value("b.txt"), data}, {{kWriteAppend}});
  EXPECT_EQ(cell_type(result), Type::unset);
  result = act(Act::Delete, {file_value("c")});
  EXPECT_EQ(cell_type(result), Type::logic);
  EXPECT_TRUE(result.w1);
  result = act(Act::Rename, {file_value("d"), file_value("e")});
  EXPECT_EQ(cell_type(result), Type::logic);
  EXPECT_FALSE(result.w1);
  result = act(Act::Query, {file_value("f")});
  EXPECT_EQ(integer_value(result), 3);
  EXPECT_EQ(calls, (std::vector<std::string>{"read a.txt lines", "write b.txt hi append", "delete c", "rename d e",
                                             "query f"}));
}

TEST_F(ResourceIoTest, HttpUrlsGoToTheRequestServiceAndNoneIsNoConnect) {
  http_answer = text_value("page");
  Cell result = act(Act::Read, {url_value("https://ex.org")});
  EXPECT_EQ(text_of(result), "page");
  Cell data = text_value("body");
  Cell two = int_cell(2);
  act(Act::Write, {url_value("http://ex.org"), data}, {{kWritePart, true, {&two, 1}}});
  http_answer = make_cell(Type::none);
  StandInError error = raised_error([&] { act(Act::Read, {url_value("http://down")}); });
  EXPECT_EQ(error.id, error_id("access", "no-connect"));
  EXPECT_EQ(text_of(error.args[0]), "http://down");
  EXPECT_EQ(calls, (std::vector<std::string>{"http read https://ex.org", "http write http://ex.org body part",
                                             "http read http://down"}));
}

// "HTTP" in capitals is no http prefix: the url goes through a port like any other scheme.
TEST_F(ResourceIoTest, OtherSchemesRunTheirPortsActions) {
  static std::vector<std::string>* seen = &calls;
  ActionRow actor;
  actor.set<Act::Read>([](Cell& port, Cell* part, Cell*, bool, bool, bool, Cell*) {
    seen->push_back(std::string("port read") + (part ? " part" : ""));
    port = int_cell(11);
    return &port;
  });
  actor.set<Act::Open>([](Cell& port, bool, bool, bool, bool, Cell*) {
    seen->push_back("port open");
    return &port;
  });
  uint32_t actor_index = register_port_actor(actor);
  services().port_actor = [](const Cell&) { return make_cell(Type::handle, 0, 1u); };
  made_port = make_cell(Type::port, 0, 0);
  ASSERT_EQ(actor_index, 1u);
  Cell five = int_cell(5);
  Cell result = act(Act::Read, {url_value("HTTP://x")}, {{kReadPart, true, {&five, 1}}});
  EXPECT_EQ(integer_value(result), 11);
  act(Act::Open, {url_value("ftp://x")});
  EXPECT_EQ(calls, (std::vector<std::string>{"parse HTTP://x", "port spec", "port read part", "parse ftp://x",
                                             "port spec", "port open"}));
}

TEST_F(ResourceIoTest, OpenWithoutAPortIsInvalidArg) {
  StandInError error = raised_error([&] { act(Act::Open, {url_value("ftp://x")}); });
  EXPECT_EQ(error.id, error_id("script", "invalid-arg"));
  EXPECT_EQ(text_of(error.args[0]), "ftp://x");
}

// (HTTP has its own service now; the URL parser is still a stand-in.)
TEST_F(ResourceIoTest, TheStandInsRefuseUntilTheServicesExist) {
  reset_services();
  StandInError error = raised_error([&] { act(Act::Read, {url_value("ftp://x")}); });
  EXPECT_EQ(error.id, kNotDone);
}

// --- The OS form ----------------------------------------------------------------------------------

TEST_F(ResourceIoTest, OsFormIsThePosixPath) {
  struct Row {
    const char* file;
    bool prefix;
    std::string local;
  };
  std::string cwd = string_to_utf8(file_current_dir());
  ASSERT_FALSE(cwd.empty());
  EXPECT_EQ(cwd.back(), '/');
  const Row rows[] = {
      {"/c/dir", true, "/c/dir"},  {"/c", false, "/c"},      {"//dir", true, "//dir"},
      {"a/b", false, "a/b"},       {"a/b", true, cwd + "a/b"}, {"", true, cwd},
      {"caf\xC3\xA9", false, "caf\xC3\xA9"},
  };
  for (const Row& row : rows) {
    Cell out = text_value("");
    file_path_to_local(file_value(row.file), out.w2, row.prefix);
    EXPECT_EQ(string_to_utf8(out), row.local) << row.file;
  }
  std::string os = file_to_os_path(file_value("dir/\xE2\x82\xAC.txt"));
  EXPECT_EQ(os, "dir/\xE2\x82\xAC.txt");
  EXPECT_EQ(os.c_str()[os.size()], '\0');
}

// The current directory's name comes from the OS: a byte outside UTF-8 in it must neither
// raise nor be lost when the relative path is made local.
TEST_F(ResourceIoTest, ACurrentDirectoryNamedOutsideUtf8ComesBackByteForByte) {
  char base[] = "/tmp/qel-cwd-XXXXXX";
  ASSERT_NE(::mkdtemp(base), nullptr);
  std::string odd = std::string(base) + "/a\xFF";
  ASSERT_EQ(::mkdir(odd.c_str(), 0700), 0);
  std::optional<std::string> before = os_get_current_dir();
  ASSERT_TRUE(before && os_set_current_dir(odd));
  Cell out = text_value("");
  file_path_to_local(file_value("x"), out.w2, true);
  std::string local = file_to_os_path(out);
  EXPECT_TRUE(os_set_current_dir(*before));
  ::rmdir(odd.c_str());
  ::rmdir(base);
  EXPECT_EQ(local, odd + "/x");
}

// A path with U+0000 in it would be cut short by the OS, and a surrogate other than a name
// byte has no OS form: both are refused before any call.
TEST_F(ResourceIoTest, APathHoldingNulOrASurrogateIsInvalidArg) {
  for (uint32_t bad : {0u, 0xD800u, 0xDC7Fu, 0xDD00u, 0xDFFFu}) {
    Cell file = file_value("a");
    string_append_char(file.w2, bad);
    string_append_char(file.w2, 'b');
    StandInError error = raised_error([&] { file_to_os_path(file); });
    EXPECT_EQ(error.id, error_id("script", "invalid-arg")) << bad;
    EXPECT_EQ(cell_type(error.args[0]), Type::file);
  }
}

// Names that are no UTF-8 come in with each stray byte as U+DC00 + byte and go back out as the
// same bytes; well-formed sequences, even around them, decode as text.
TEST_F(ResourceIoTest, EveryOsNameRoundTrips) {
  struct Row {
    std::string name;
    std::vector<uint32_t> chars;
  } rows[] = {
      {"plain.txt", {'p', 'l', 'a', 'i', 'n', '.', 't', 'x', 't'}},
      {"x\xFFy", {'x', 0xDCFF, 'y'}},
      {"\xC3\xA9\x80", {0xE9, 0xDC80}},
      {"\xE2\x82", {0xDCE2, 0xDC82}},             // cut short at the end
      {"\xED\xA0\x80", {0xDCED, 0xDCA0, 0xDC80}},  // an encoded surrogate is no UTF-8
      {"\xC0\xAF/\xF0\x9F\x98\x80", {0xDCC0, 0xDCAF, '/', 0x1F600}},
      {"", {}},
  };
  for (const Row& row : rows) {
    Cell file = file_from_os_name(row.name);
    ASSERT_EQ(cell_type(file), Type::file);
    std::vector<uint32_t> chars;
    for (uint32_t i = 0; i < string_length(file); ++i) chars.push_back(string_char_at(file, i));
    EXPECT_EQ(chars, row.chars) << row.name;
    EXPECT_EQ(file_to_os_path(file), row.name);
  }
}

}  // namespace
}  // namespace qel
