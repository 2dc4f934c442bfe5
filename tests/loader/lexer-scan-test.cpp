// The scan engine: token boundaries, the answers of prescan and scan mode, nesting, the end
// check, new-line flags, syntax errors with their position and excerpt, the tracer protocol.
#include <string>
#include <vector>

#include "lexer-fixture.h"
#include "loader/lexer/lexer-trace.h"
#include "runtime/error-raise.h"

namespace qel {
namespace {

using namespace qel::testing;
using namespace std::literals;

// A C++ tracer that records its calls and answers from a table of verdicts.
struct Recorder {
  explicit Recorder(std::string_view text) : input(text) {}

  std::string_view input;
  std::vector<std::string>
      seen;  // "event type:text", "#token-type:text" for tokens without a datatype; load events: "load type"
  bool prescan_verdict = true;
  bool error_verdict = true;
  int64_t move_to = -1;  // a new index for the first call, when set
  bool raise = false;

  static bool call(const LexerTracer& tracer, LexerTraceCall& call) {
    auto* self = static_cast<Recorder*>(tracer.context);
    static constexpr const char* kNames[] = {"prescan", "scan", "load", "open", "close", "error"};
    std::string entry = std::string(kNames[static_cast<int>(call.event)]) + " ";
    if (call.has_value)
      entry += std::to_string(static_cast<int>(cell_type(call.value)));
    else
      entry += (call.type > 0 ? std::to_string(call.type) : "#" + std::to_string(call.token_type)) + ":" +
               std::string(self->input.substr(call.start - 1, call.end - call.start));
    self->seen.push_back(entry);
    if (self->raise) raise_error(error_id("script", "invalid-arg"), make_cell(Type::none));
    if (self->move_to >= 0) {
      call.index = self->move_to;
      self->move_to = -1;
    }
    if (call.event == LexerEvent::prescan) return self->prescan_verdict;
    if (call.event == LexerEvent::error) return self->error_verdict;
    return true;
  }

  LexerTracer tracer(uint32_t mask = kAllLexerEvents) { return {call, make_cell(Type::none), mask, this}; }
};

// The tokens of a text: a tracer that declines every prescan event sees each token once and
// keeps anything from being made. Entries are "type:text", "#token-type:text" without a datatype.
std::vector<std::string> tokens_of(std::string_view text) {
  Recorder recorder(text);
  recorder.prescan_verdict = false;
  LexerTracer tracer = recorder.tracer(lexer_event_bit(LexerEvent::prescan));
  LexerRequest request;
  request.tracer = &tracer;
  Cell out;
  (void)lexer_transcode(out, bytes_of(text), request);
  std::vector<std::string> tokens;
  for (std::string& seen : recorder.seen) tokens.push_back(seen.substr(seen.find(' ') + 1));
  return tokens;
}

TEST_F(LexerTest, TokenBoundaries) {
  struct Case {
    std::string_view text;
    std::vector<std::string> tokens;
  };
  const Case cases[] = {
      {"abc  [def]", {"15:abc", "#2:", "15:def", "#3:"}},
      {"\t\r\n x;c\ny", {"15:x", "#11:;c", "15:y"}},
      {"1 2.5 3% -7", {"11:1", "12:2.5", "38:3", "11:-7"}},
      {"\"a^\"b\" c", {"7:\"a^\"b", "15:c"}},
      {"%{a}b}% x", {"7:%{a}b}%", "15:x"}},
      {"#{0A} #\"x\" #(true)", {"41:#{0A", "10:#\"x", "#10:#(true"}},
      {"$1.50 a@b.c", {"49:$1.50", "45:a@b.c"}},
      {"12:30 1-Jan-2000 1x2 1.2.3 7Fh", {"43:12:30", "47:1-Jan-2000", "37:1x2", "39:1.2.3", "11:7Fh"}},
      {"<a> /ref http://x", {"44:<a", "19:/ref", "9:http://x"}},
      {"\xC3\xA9\xC2\xA0"
       "b \xE3\x80\x80",
       {"15:\xC3\xA9", "15:b", "#0:"}},
  };
  for (const Case& c : cases) EXPECT_EQ(tokens_of(c.text), c.tokens) << c.text;
}

TEST_F(LexerTest, PrescanAndScanAnswerTheFirstValuesType) {
  struct Case {
    std::string_view text;
    Type prescan;
    Type scan;
  };
  const Case cases[] = {
      {"", Type::none_id, Type::none_id},
      {"  \n\t", Type::none_id, Type::none_id},
      {"; only a comment", Type::none_id, Type::none_id},
      {"x y", Type::word, Type::word},
      {"[a [b] c] d", Type::block, Type::block},
      {"(1 2) 3", Type::paren, Type::paren},
      {"#[a 1]", Type::map, Type::map},
      {"{a{b}c} d", Type::string, Type::string},
      {"\"abc\" d", Type::string, Type::string},
      {"%%{a}% }%% d", Type::string, Type::string},
      {"a/b/c d", Type::path, Type::path},
      {"'a/b", Type::lit_path, Type::lit_path},
      {":a/(b)/c", Type::get_path, Type::get_path},
      {"a/b: 1", Type::set_path, Type::set_path},
      {"(1, 2)", Type::point2d, Type::point2d},
      {"(a, b)", Type::point2d, Type::error},  // its numbers fail the float check
      {"a\0b"sv, Type::word, Type::word},
      {"}", Type::error, Type::error},
      {"(1 2", Type::error, Type::error},
      {"[a [b]", Type::error, Type::error},
      {"{abc", Type::error, Type::error},
      {"{a{b}", Type::error, Type::error},
      {"\"a\nb\"", Type::error, Type::error},
      {"a/b/", Type::error, Type::error},
      {"a/b:/c", Type::error, Type::error},
      {", 1", Type::error, Type::error},
      {"[1, 2]", Type::error, Type::error},
      {"(1, 2 [3])", Type::error, Type::error},
      {"\0a"sv, Type::error, Type::error},
      {"[a\0]"sv, Type::error, Type::error},
      {"\x80", Type::error, Type::error},
      {"[\"a^(1G)\"]", Type::error, Type::error},
      {"\"a^(110000)\"", Type::error, Type::error},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(answer(c.text, true), id(c.prescan));
    EXPECT_EQ(answer(c.text, false), id(c.scan));
  }
}

// A whole-input scan without a tracer (whose words, numbers, strings, comments and block
// brackets mostly skip the per-token handling) answers the last token's type and where it
// stopped, through nesting of every kind. The bytes lie in a buffer of their exact size, so that
// a read past their end shows under the address sanitizer.
TEST_F(LexerTest, WholeScansAnswerTheLastTypeAndWhereTheyStopped) {
  struct Case {
    std::string_view text;
    Type type;
    int64_t consumed;
  };
  const Case cases[] = {
      {"print 12 -345 6.5 \"a string of text\" ; a remark\n [x [y 1.25] z] done", Type::word, 68},
      {"[values [nested [deeper 1 2 3] 4.5] \"text\"]", Type::block, 43},
      {"#[key value other [a b]] [after]", Type::block, 32},
      {"[one two/three four] tail", Type::word, 25},
      {"[a/b] [c/d/e]", Type::block, 13},
      {"[(1, 2) [3 4]] x", Type::word, 16},
      {"[first second] third]", Type::error, 21},
      {"[first (second] third]", Type::error, 15},
      {"(1, 2 [3]) remaining words", Type::error, 6},
      {"[never closed [at all]", Type::error, 22},
      {"word [block with words]", Type::block, 23},
      {"[block with words]\n", Type::none_id, 19},
      {"", Type::none_id, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    std::vector<uint8_t> bytes(c.text.begin(), c.text.end());
    Cell out;
    LexerRequest scan;
    scan.scan = true;
    LexerAnswer answered = lexer_transcode(out, bytes, scan);
    EXPECT_EQ(answered.type, id(c.type));
    EXPECT_EQ(answered.consumed, c.consumed);
  }
}

TEST_F(LexerTest, StringsLoadIntoNestedBlocks) {
  Cell out;
  (void)lexer_transcode(out, bytes_of("[\"a\" {b{c}^}} [] (\"d\") %%{e}% }%%] \"f^(263A)^(tab)\""), {});
  ASSERT_EQ(cell_type(out), Type::block);
  std::vector<Cell> top = cells_of(out);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(text_utf8(top[1]), "f\xE2\x98\xBA\t");
  std::vector<Cell> inner = cells_of(top[0]);
  ASSERT_EQ(inner.size(), 5u);
  EXPECT_EQ(text_utf8(inner[0]), "a");
  EXPECT_EQ(text_utf8(inner[1]), "b{c}}");
  EXPECT_EQ(cell_type(inner[2]), Type::block);
  EXPECT_TRUE(cells_of(inner[2]).empty());
  ASSERT_EQ(cell_type(inner[3]), Type::paren);
  EXPECT_EQ(text_utf8(cells_of(inner[3])[0]), "d");
  EXPECT_EQ(text_utf8(inner[4]), "e}% ");
}

TEST_F(LexerTest, NewLineFlagsMarkValuesAfterALineBreak) {
  Cell out;
  (void)lexer_transcode(out, bytes_of("\"a\" \"b\" ; c\n\"d\" {e\nf} [\n\"g\"]\n{h}"), {});
  std::vector<Cell> cells = cells_of(out);
  ASSERT_EQ(cells.size(), 6u);
  const bool expected[] = {false, false, true, false, false, true};
  for (size_t i = 0; i < cells.size(); ++i) EXPECT_EQ((cells[i].header & kNewLineFlag) != 0, expected[i]) << i;
  EXPECT_NE(cells_of(cells[4])[0].header & kNewLineFlag, 0u);
}

TEST_F(LexerTest, SyntaxErrorsNameTheLineAndAnExcerpt) {
  const std::string accents = "[\"" + [] {
    std::string text;
    for (int i = 0; i < 20; ++i) text += "\xC3\xA9";
    return text;
  }() + "\"";
  const LoadErrorCase cases[] = {
      {"}", error_id("syntax", "bad-char"), {"(line 1)", "}"}},
      {"\"a\" \x80", error_id("syntax", "bad-char"), {"(line 1)", "\xEF\xBF\xBD"}},
      {"(\"a\" \"b\"", error_id("syntax", "missing"), {"(line 1)", ")", "(\"a\" \"b\""}},
      {"\"a\" ]", error_id("syntax", "missing"), {"(line 1)", "[", "\"a\" ]"}},
      {"[\"a\" )", error_id("syntax", "missing"), {"(line 1)", "(", "[\"a\" )"}},
      {"#[\"a\"", error_id("syntax", "missing"), {"(line 1)", "]", "#[\"a\""}},
      {"\"a\"\r\n\n \"bc\nd\"", error_id("syntax", "invalid"), {"(line 3)", "7", "\"bc"}},
      {"{a{b}", error_id("syntax", "invalid"), {"(line 1)", "7", "{a{b}"}},
      {"\"x\" {a\n", error_id("syntax", "invalid"), {"(line 2)", "7", "{a"}},
      {"\"a\" , \"b\"", error_id("syntax", "invalid"), {"(line 1)", "51", ", \"b\""}},
      {"\"^(12G)\"", error_id("syntax", "invalid"), {"(line 1)", "7", "\"^(12G)\""}},
      {"\"^(110000)\"", error_id("syntax", "invalid"), {"(line 1)", "7", "\"^(110000)\""}},
      {"\"^(1234567)\"", error_id("syntax", "invalid"), {"(line 1)", "7", "\"^(1234567)\""}},
      {std::string("\"a\" \0 \"b\"", 9), error_id("syntax", "bad-char"), {"(line 1)", std::string("\0 \"b\"", 5)}},
      {"%%{a}% ", error_id("syntax", "invalid"), {"(line 1)", "7", "%%{a}% "}},
      {accents, error_id("syntax", "missing"), {"(line 1)", "]", accents.substr(0, 30)}},
      // A path ending in a slash, or in a slash and a colon, with or without a byte after it.
      {"a/", error_id("syntax", "invalid"), {"(line 1)", "25", "a/"}},
      {"x a/b/", error_id("syntax", "invalid"), {"(line 1)", "25", "a/b/"}},
      {"a/ 1", error_id("syntax", "invalid"), {"(line 1)", "25", "a/ 1"}},
      {"a/:", error_id("syntax", "invalid"), {"(line 1)", "25", "a/:"}},
      {"a/b/:", error_id("syntax", "invalid"), {"(line 1)", "25", "a/b/:"}},
      {"[a/:]", error_id("syntax", "invalid"), {"(line 1)", "25", "a/:]"}},
      {"a/: 1", error_id("syntax", "invalid"), {"(line 1)", "25", "a/: 1"}},
      // A sequence cut short by a line end stops the excerpt at the line end all the same.
      {"x: ab\xC3\nprint 1", error_id("syntax", "invalid"), {"(line 1)", "15", "ab\xEF\xBF\xBD"}},
      {"[ab \xE2\x82\n]", error_id("syntax", "invalid"), {"(line 1)", "15", "\xEF\xBF\xBD"}},
  };
  expect_load_errors(cases);
}

// Opens `depth` brackets, then closes them unless told not to.
std::string brackets(size_t depth, bool closed) {
  return std::string(depth, '[') + std::string(closed ? depth : 0, ']');
}

TEST_F(LexerTest, DeepNestingIsIterative) {
  constexpr size_t kDepth = 300000;
  std::string text = brackets(kDepth, true);
  EXPECT_EQ(answer(text, true), id(Type::block));
  EXPECT_EQ(answer(text, false), id(Type::block));
  Cell out;
  (void)lexer_transcode(out, bytes_of(text), {});
  Cell at = out;
  size_t depth = 0;
  for (std::vector<Cell> cells = cells_of(at); !cells.empty(); cells = cells_of(cells[0])) ++depth;
  EXPECT_EQ(depth, kDepth);
  RaisedError raised = load_error(brackets(kDepth, false));
  EXPECT_EQ(raised.id, error_id("syntax", "missing"));
  EXPECT_EQ(raised.args, (std::vector<std::string>{"(line 1)", "]", "["}));
}

TEST_F(LexerTest, OneValueAndConsumed) {
  Cell out;
  LexerRequest one;
  one.one = true;
  LexerAnswer answered = lexer_transcode(out, bytes_of("  \"a\" \"b\""), one);
  EXPECT_EQ(text_utf8(out), "a");
  EXPECT_EQ(answered.consumed, 5);
  answered = lexer_transcode(out, bytes_of("[\"a\" [\"b\"]] \"c\""), one);
  EXPECT_EQ(cell_type(out), Type::block);
  EXPECT_EQ(answered.consumed, 11);
  one.as_block = true;
  (void)lexer_transcode(out, bytes_of("\"a\" \"b\""), one);
  ASSERT_EQ(cell_type(out), Type::block);
  EXPECT_EQ(cells_of(out).size(), 1u);
}

TEST_F(LexerTest, IntoAppendsToABlock) {
  Cell out;
  (void)lexer_transcode(out, bytes_of("\"a\""), {});
  Cell into = out;
  LexerRequest request;
  request.into = &into;
  (void)lexer_transcode(out, bytes_of("\"b\" \"c\""), request);
  EXPECT_EQ(out.w2, into.w2);
  std::vector<Cell> cells = cells_of(out);
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(text_utf8(cells[2]), "c");
}

TEST_F(LexerTest, SeriesInputCountsCharactersOfTextAndBytesOfBinaries) {
  Cell text;
  (void)lexer_transcode(text, bytes_of("{\xC3\xA9\xE2\x98\xBA \"x\" \"y\"}"), {});
  text = cells_of(text)[0];  // a text of unit 2
  text.w1 = 2;               // from " \"x\" ..."
  constexpr std::string_view kBytes = "\xEF\xBB\xBF\"\xC3\xA9\" 2 3";  // a byte-order mark first
  NodeId node = new_byte_series(static_cast<int64_t>(kBytes.size()));
  series_buffer_append_bytes(node, kBytes.data(), static_cast<int64_t>(kBytes.size()));
  Cell binary = make_cell(Type::binary, 0, node);
  struct Case {
    const Cell& input;
    int64_t length;
    bool one;
    std::string molded;
    int64_t consumed;
  };
  const Case cases[] = {
      {text, -1, true, "\"x\"", 4},
      {text, 5, false, "[\"x\"]", 5},
      {binary, -1, true, "\"\xC3\xA9\"", 4},
      {binary, 9, false, "[\"\xC3\xA9\" 2]", 6},
  };
  for (const Case& c : cases) {
    Cell out;
    LexerRequest request;
    request.one = c.one;
    auto load = cell_type(c.input) == Type::binary ? lexer_load_binary : lexer_load_string;
    LexerAnswer answered = load(out, c.input, c.length, request);
    EXPECT_EQ(molded(out), c.molded);
    EXPECT_EQ(answered.consumed, c.consumed);
  }
}

TEST_F(LexerTest, TracerSeesEventsAndCanDeclineAnError) {
  std::string_view text = "\"a\" } {b}";
  Recorder recorder(text);
  recorder.error_verdict = false;
  LexerTracer tracer = recorder.tracer();
  LexerRequest request;
  request.tracer = &tracer;
  Cell out;
  (void)lexer_transcode(out, bytes_of(text), request);
  std::vector<Cell> cells = cells_of(out);
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(text_utf8(cells[1]), "b");
  const std::vector<std::string> expected = {
      "prescan 7:\"a", "scan 7:\"a", "load 7", "prescan 34:", "error 34:", "prescan #6:", "open 7:{",
      "close 7:{b}",   "scan 7:{b",  "load 7",
  };
  EXPECT_EQ(recorder.seen, expected);
}

TEST_F(LexerTest, TracerThatMovesPastTheEndOrRaisesLeavesTheLexerClean) {
  std::string_view text = "\"a\" \"b\"";
  Recorder recorder(text);
  recorder.move_to = 100;
  LexerTracer tracer = recorder.tracer(lexer_event_bit(LexerEvent::prescan));
  LexerRequest request;
  request.tracer = &tracer;
  Cell out;
  (void)lexer_transcode(out, bytes_of(text), request);
  EXPECT_EQ(cells_of(out).size(), 1u);  // the scan ended after the first token
  recorder.raise = true;
  Caught caught = trap_errors([&] { (void)lexer_transcode(out, bytes_of(text), request); });
  EXPECT_EQ(caught.taken, kThrowError);
  stack_drop(1);
  EXPECT_EQ(lexer_innermost(), nullptr);
  (void)lexer_transcode(out, bytes_of(text), {});
  EXPECT_EQ(cells_of(out).size(), 2u);
}

}  // namespace
}  // namespace qel
