// Token loaders: the values the token types make, and their errors.
#include <string>
#include <vector>

#include "datatypes/scalars/datatype.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "lexer-fixture.h"
#include "runtime/collector.h"

namespace qel {
namespace {

using namespace qel::testing;
using namespace std::literals;

TEST_F(LexerTest, TokensLoadAsValues) {
  struct Case {
    std::string_view text;
    std::string_view molded;
  };
  const Case cases[] = {
      {"a [b (c #d)] :e o/(k)/2", "[a [b (c #d)] :e o/(k)/2]"},
      {"1'000'000 -0 +7 1e3 .5 2.5% 4294967296 7Fh", "[1000000 0 7 1000.0 0.5 2.5% 4294967296.0 127]"},
      {"-2147483648 2147483648 -2'147'483'648 1' 0010", "[-2147483648 2147483648.0 -2147483648 1 10]"},
      {"FFFFFFFFh 00h 1.5 -0.0 +.5 1.#INF -1.#inf 1.#nan", "[-1 0 1.5 -0.0 0.5 1.#INF -1.#INF 1.#NaN]"},
      {"a\xE3\x80\x80"
       "b \xC2\xA0 c",
       "[a b c]"},
      {"a: :b 'c /d #e a/b: 'x/y :x/y/:z", "[a: :b 'c /d #e a/b: 'x/y :x/y/:z]"},
      {"+ - -- / // < <= <> >= ->", "[+ - -- / // < <= <> >= ->]"},
      {"#(false) #(TRUE) #(none) #(unset!) #(integer) #(Char!) #(block)",
       "[false true none unset! integer! char! block!]"},
      {"#\"a\" #\"^(41)\" #\"^-\" #\"^^\" #\"\xC3\xA9\"", "[#\"a\" #\"A\" #\"^-\" #\"^^\" #\"\xC3\xA9\"]"},
      {"a/1/b a/(b c)/d a/\"s\" (a/b)", "[a/1/b a/(b c)/d a/\"s\" (a/b)]"},
  };
  for (const Case& c : cases) EXPECT_EQ(load_molded(c.text), c.molded) << c.text;
}

TEST_F(LexerTest, EscapesOfStringsAndChars) {
  Cell out;
  (void)lexer_transcode(out, bytes_of("\"^(esc)x^(DEL)^(263A)^/^-^@^a^Z^_^~^!\""), {});
  std::u32string expected = U"\x1Bx\x7F\u263A\n\t\x00\x01\x1A\x1F\x7F!"s;
  std::vector<Cell> cells = cells_of(out);
  ASSERT_EQ(cells.size(), 1u);
  UnitText text = string_text(cells[0]);
  ASSERT_EQ(text.length, expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(code_point_read(text.data + i * text.unit, text.unit), expected[i]) << i;
  EXPECT_EQ(text.unit, 2u);
  (void)lexer_transcode(out, bytes_of("\"\xC3\xA9\" \"^(1F600)\""), {});
  cells = cells_of(out);
  EXPECT_EQ(string_text(cells[0]).unit, 1u);  // the narrowest unit that holds the text
  EXPECT_EQ(string_text(cells[1]).unit, 4u);
}

TEST_F(LexerTest, LoaderErrors) {
  const std::string nines(320, '9');
  std::string accents = "[";
  for (int i = 0; i < 20; ++i) accents += "\xC3\xA9";
  const LoadErrorCase cases[] = {
      {"(1 2", error_id("syntax", "missing"), {"(line 1)", ")", "(1 2"}},
      {accents, error_id("syntax", "missing"), {"(line 1)", "]", accents.substr(0, 29)}},
      {"#()", error_id("syntax", "malconstruct"), {"(line 1)", "#()"}},
      {"x #(bl) y", error_id("syntax", "malconstruct"), {"(line 1)", "#(bl) y"}},
      {"#(i)", error_id("syntax", "malconstruct"), {"(line 1)", "#(i)"}},
      {"#(true x)", error_id("syntax", "malconstruct"), {"(line 1)", "#(true x)"}},
      {"1''0", error_id("syntax", "invalid"), {"(line 1)", "11", "1''0"}},
      {nines, error_id("syntax", "invalid"), {"(line 1)", "12", nines.substr(0, 30)}},
      {"1.5e", error_id("syntax", "invalid"), {"(line 1)", "12", "1.5e"}},
      {"1.#FOO", error_id("syntax", "invalid"), {"(line 1)", "12", "1.#FOO"}},
      {"1e400", error_id("syntax", "invalid"), {"(line 1)", "12", "1e400"}},
      {"12a", error_id("syntax", "invalid"), {"(line 1)", "11", "12a"}},
      {"Fh", error_id("syntax", "invalid"), {"(line 1)", "15", "Fh"}},
      {"1h", error_id("syntax", "invalid"), {"(line 1)", "11", "1h"}},
      {"'a:", error_id("syntax", "invalid"), {"(line 1)", "17", "'a:"}},
      {":a:", error_id("syntax", "invalid"), {"(line 1)", "15", ":a:"}},
      {"#", error_id("syntax", "invalid"), {"(line 1)", "20", "#"}},
      {"#\"ab\"", error_id("syntax", "invalid"), {"(line 1)", "10", "#\"ab\""}},
      {"#\"\"", error_id("syntax", "invalid"), {"(line 1)", "10", "#\"\""}},
      {"#\"^(110000)\"", error_id("syntax", "invalid"), {"(line 1)", "10", "#\"^(110000)\""}},
      {"#\"^\"", error_id("syntax", "invalid"), {"(line 1)", "10", "#\"^\""}},
      {"a/b/", error_id("syntax", "invalid"), {"(line 1)", "25", "a/b/"}},
      {"x a/b:/c", error_id("syntax", "invalid"), {"(line 1)", "25", "a/b:/c"}},
      {"'a/b:", error_id("syntax", "bad-char"), {"(line 1)", "'a/b:"}},
      {"a\xE2(\xA1", error_id("syntax", "invalid"), {"(line 1)", "15", "a\xEF\xBF\xBD(\xEF\xBF\xBD"}},
      {"\xC0\xAF", error_id("syntax", "bad-char"), {"(line 1)", "\xEF\xBF\xBD\xEF\xBF\xBD"}},
      {"a\0b"s, error_id("syntax", "bad-char"), {"(line 1)", "\0b"s}},
  };
  expect_load_errors(cases);
}

TEST_F(LexerTest, ScanModeChecksEveryToken) {
  struct Case {
    std::string_view text;
    Type scan;
  };
  const Case cases[] = {
      {"abc", Type::word},      {"1.5e", Type::error},        {"12a", Type::error},
      {"1.5", Type::float_},    {"2147483648", Type::float_}, {"-2147483648", Type::integer},
      {"#(true)", Type::logic}, {"#(char)", Type::datatype},  {"#(x)", Type::error},
      {"'a:", Type::error},     {"[1 1.5e]", Type::error},    {"#\"^(41)\"", Type::char_},
      {"a/b/1", Type::path},    {"/r", Type::refinement},     {"#i", Type::issue},
      {"7Fh", Type::integer},
  };
  for (const Case& c : cases) EXPECT_EQ(answer(c.text, false), id(c.scan)) << c.text;
  EXPECT_EQ(answer("abc", true), id(Type::word));
}

TEST_F(LexerTest, PartOfAStringCountsCharacters) {
  Cell source;
  (void)lexer_transcode(source, bytes_of("\"\xC3\xA9 1 2\" \"a^@b\""), {});
  Cell out;
  (void)lexer_load_string(out, cells_of(source)[0], 3, {});
  EXPECT_EQ(molded(out), "[\xC3\xA9 1]");
  // A NUL character reaches the lexer as a NUL byte: a bad character, not the end.
  Caught caught = trap_errors([&] { (void)lexer_load_string(out, cells_of(source)[1], -1, {}); });
  ASSERT_EQ(caught.taken, kThrowError);
  stack_drop(1);
  EXPECT_EQ(stand_in_last_error().id, error_id("syntax", "bad-char"));
}

// A tracer given by a function of the call.
template <class Decide>
LexerTracer tracer_of(Decide& decide, uint32_t mask) {
  return {[](const LexerTracer& tracer, LexerTraceCall& call) { return (*static_cast<Decide*>(tracer.context))(call); },
          make_cell(Type::none), mask, &decide};
}

TEST_F(LexerTest, TracersVetoValuesAndErrors) {
  auto not_string = [](LexerTraceCall& call) { return cell_type(call.value) != Type::string; };
  LexerTracer loads = tracer_of(not_string, lexer_event_bit(LexerEvent::load));
  LexerRequest request;
  request.tracer = &loads;
  Cell out;
  (void)lexer_transcode(out, bytes_of("x \"y\" 3"), request);
  EXPECT_EQ(molded(out), "[x 3]");
  auto decline = [](LexerTraceCall&) { return false; };
  LexerTracer errors = tracer_of(decline, lexer_event_bit(LexerEvent::error));
  request.tracer = &errors;
  (void)lexer_transcode(out, bytes_of("1 ) 2 a/b/ c 12a d"), request);
  EXPECT_EQ(molded(out), "[1 2 a/b c a d]");  // the scan goes on where "12a" failed
}

TEST_F(LexerTest, ACollectionDuringATracerKeepsTheScansValues) {
  auto collect = [](LexerTraceCall&) {
    (void)collect_now();
    return true;
  };
  LexerTracer tracer = tracer_of(collect, kAllLexerEvents);
  LexerRequest request;
  request.tracer = &tracer;
  Cell out;
  (void)lexer_transcode(out, bytes_of("[\"a\" b/c \"d\"] {e}"), request);
  EXPECT_EQ(molded(out), "[[\"a\" b/c \"d\"] \"e\"]");
}

}  // namespace
}  // namespace qel

namespace qel::testing {
namespace {

// make and to of the word family and of percent! read their text with the lexer's one-value scan.
TEST_F(LexerTest, WordsAndPercentsFromText) {
  auto type = [](Type t) {
    Cell cell;
    return *datatype_make_at(cell, t);
  };
  auto text = [](std::string_view utf8) {
    Cell string;
    string_make_at(string, 8);
    string_append_utf8(string.w2, utf8);
    return string;
  };
  EXPECT_EQ(molded(call(Act::To, type(Type::word), text("abc"))), "abc");
  EXPECT_EQ(molded(call(Act::To, type(Type::set_word), text(" ab "))), "ab:");
  EXPECT_EQ(molded(call(Act::To, type(Type::word), make_cell(Type::char_, 0, 'x'))), "x");
  EXPECT_EQ(molded(call(Act::To, type(Type::percent), text("2.5%"))), "2.5%");
  EXPECT_EQ(molded(call(Act::To, type(Type::percent), text("0.5"))), "50%");
  for (const char* bad : {"x", "1 2", ""})
    EXPECT_EQ(error_of([&] { call(Act::To, type(Type::percent), text(bad)); }), error_id("script", "bad-to-arg"))
        << bad;
  for (const char* bad : {"a b", "1", "", "[a]"})
    EXPECT_EQ(error_of([&] { call(Act::To, type(Type::word), text(bad)); }),
              error_id("script", "invalid-chars"))
        << bad;
}

}  // namespace
}  // namespace qel::testing
