// Random inputs through every mode, with and without a tracer that declines, skips and moves:
// every load gives well-formed values or a catalog error, every scan an answer; a tracer that
// recurses into the lexer ends in the catchable stack-overflow error.
#include <array>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "lexer-fixture.h"
#include "loader/lexer/lexer-plain-walk.h"
#include "loader/lexer/lexer-walk.h"
#include "loader/lexer/token-handlers.h"
#include "runtime/language-thread.h"

namespace qel {
namespace {

using namespace qel::testing;

// Bytes that matter to the grammar, each as likely as the others; the rest of the byte range
// comes in now and then.
constexpr std::string_view kAlphabet =
    "[](){}\"#'%:/@$-+.,;^<>=e0159afxhT \n\t\r!?_~\\|"
    "\xC3\xA9\xE3\x80\x80\xC2\xA0\xF0\x9F\x98\x80";

std::string random_text(std::mt19937& random) {
  std::string text(std::uniform_int_distribution<size_t>(0, 40)(random), ' ');
  for (char& c : text) {
    uint32_t pick = random() % 64;
    c = pick < 60 ? kAlphabet[random() % kAlphabet.size()] : static_cast<char>(random() % 256);
  }
  return text;
}

// Source-like text: the plain scan's common tokens and separators, now and then with a byte of
// the alphabet or any byte mixed in, so that the fast recogniser meets both its shapes and
// their near misses.
std::string source_like_text(std::mt19937& random) {
  static constexpr std::string_view kPieces[] = {
      "print", "to-string", "length?", "x", "Either", "-123456", "+7", "0", "12345.678", "1.5e3", "1234567890",
      "\"text number 42 of the corpus\"", "\"a^\"b\"", "\"caf\xC3\xA9\"", "; a remark\n", "; \xC3\xA9\xF9\n",
      "[", "]", " ", " ", "\n    ", "\t", "1.", "-.5", "a:", "b/c"};
  std::string text;
  for (size_t n = random() % 24; n > 0; --n) {
    text += kPieces[random() % std::size(kPieces)];
    if (random() % 2) text += random() % 8 ? " " : "\n";
    if (random() % 6 == 0) text += kAlphabet[random() % kAlphabet.size()];
    if (random() % 40 == 0) text += static_cast<char>(random() % 256);
  }
  return text;
}

// True when every value reachable from the cell is a loaded type with its series in place.
bool well_formed(const Cell& value, int depth = 0) {
  Type type = cell_type(value);
  if (type == Type::none_id || type > kHighestTypeId || type == kOpenMarkerType || depth > 100) return false;
  bool block_like = type == Type::block || type == Type::paren || (type >= Type::path && type <= Type::get_path);
  if (type == Type::string && series_buffer(value.w2)->unit() > 4) return false;
  if (!block_like) return true;
  for (const Cell& cell : cells_of(value))
    if (!well_formed(cell, depth + 1)) return false;
  return true;
}

// The errors a load may raise.
bool catalog_error(ErrorId id) {
  return id.category == error_id("syntax", "invalid").category;
}

// A tracer whose verdicts and moves come from the generator.
struct Meddler {
  std::mt19937* random;
  static bool call(const LexerTracer& tracer, LexerTraceCall& call) {
    std::mt19937& random = *static_cast<Meddler*>(tracer.context)->random;
    uint32_t pick = random() % 16;
    if (pick == 0) call.index += 1;
    if (pick == 1) call.index = 1000;
    return pick != 2;
  }
};

TEST_F(LexerTest, FuzzedInputsGiveValuesOrCatalogErrors) {
  std::mt19937 random(20240229);
  Meddler meddler{&random};
  LexerTracer tracer{Meddler::call, make_cell(Type::none), kAllLexerEvents, &meddler};
  for (int round = 0; round < 60000; ++round) {
    std::string text = random_text(random);
    SCOPED_TRACE(text);
    for (bool traced : {false, true}) {
      LexerRequest load;
      load.tracer = traced ? &tracer : nullptr;
      load.one = round % 3 == 0;
      Cell out;
      Caught caught = trap_errors([&] { (void)lexer_transcode(out, bytes_of(text), load); });
      if (caught.taken == kThrowError) {
        stack_drop(1);
        ASSERT_TRUE(catalog_error(stand_in_last_error().id));
      } else {
        ASSERT_TRUE(cell_type(out) == Type::none || well_formed(out));
      }
      for (bool prescan : {false, true}) {
        LexerRequest scan;
        scan.tracer = load.tracer;
        scan.one = true;
        (prescan ? scan.prescan : scan.scan) = true;
        int32_t type = lexer_transcode(out, bytes_of(text), scan).type;
        ASSERT_TRUE(type >= 0 && type <= id(kHighestTypeId));
      }
      ASSERT_EQ(lexer_innermost(), nullptr);
    }
  }
}

// A whole-input scan without a tracer (whose commonest tokens skip the per-token handling)
// answers error! exactly where the load raises a syntax error, and else reaches the end; random
// and source-like texts, in buffers of their exact size.
TEST_F(LexerTest, FuzzedWholeScansAgreeWithTheLoad) {
  std::mt19937 random(20260101);
  for (int round = 0; round < 60000; ++round) {
    std::string text = round % 2 ? source_like_text(random) : random_text(random);
    SCOPED_TRACE(text);
    Cell out;
    Caught caught = trap_errors([&] { (void)lexer_transcode(out, bytes_of(text), LexerRequest{}); });
    bool raised = caught.taken == kThrowError;
    bool syntax_error = raised && stand_in_last_error().id.category == error_id("syntax", "invalid").category;
    if (raised) stack_drop(1);
    LexerRequest scan;
    scan.scan = true;
    std::vector<uint8_t> bytes(text.begin(), text.end());  // no byte after the end to read
    LexerAnswer answer = lexer_transcode(out, bytes, scan);
    ASSERT_TRUE(!syntax_error || answer.type == id(Type::error));
    if (answer.type == id(Type::error)) {
      ASSERT_TRUE(raised);
    } else if (!raised) {
      ASSERT_EQ(answer.consumed, static_cast<int64_t>(text.size()));
    }
  }
}

// The plain walk over the tables, one transition per byte: what the walker's runs must give.
struct PlainToken {
  size_t start, end;
  uint32_t flags;
  uint8_t final_state, previous_state;
  int64_t lines;
  bool operator==(const PlainToken&) const = default;
};

PlainToken plain_walk(std::string_view text, uint8_t start_state) {
  size_t p = 0, start = 0;
  uint8_t state = start_state, final_state;
  uint32_t flags = 0;
  int64_t lines = 0;
  for (;;) {
    if (p == text.size()) {
      final_state = next_state(state, CharClass::nul);
      break;
    }
    uint8_t byte = static_cast<uint8_t>(text[p]);
    uint8_t next = next_state(state, char_class(byte));
    if (is_final_state(next)) {
      final_state = next;
      break;
    }
    flags |= char_flags(byte);
    lines += char_class(byte) == CharClass::newline;
    ++p;
    if (next == 0) start = p;
    state = next;
  }
  return {start, p, flags, final_state, state, lines};
}

TEST(LexerWalk, RunsGiveThePlainWalksTokens) {
  std::mt19937 random(19650218);
  for (int round = 0; round < 200000; ++round) {
    std::string text = random_text(random);
    uint8_t start_state = static_cast<uint8_t>(random() % kLexerStates);
    LexerState state;
    state.input_start = state.position = reinterpret_cast<const uint8_t*>(text.data());
    state.input_end = state.input_start + text.size();
    state.start_state = start_state;
    LexerToken token = lexer_walk_token(state);
    PlainToken walked{static_cast<size_t>(token.start - state.input_start),
                      static_cast<size_t>(state.token_end - state.input_start),
                      token.flags,
                      static_cast<uint8_t>(token.type + kFirstFinalState),
                      state.previous_state,
                      state.line - 1};
    ASSERT_EQ(walked, plain_walk(text, start_state)) << text << " from S" << int{start_state};
  }
}

// Every token the fast recogniser answers, from every position, is the one the table walk
// finds there, and a plain scan passes it: a comment, or ASCII that the handler table lets pass
// unchecked. A token it finds made alone by its first byte is the table walk's too. Each kind is
// met often.
TEST(LexerPlainWalk, RecognisedTokensAreTheTableWalks) {
  constexpr uint8_t kAlone = kTokenTypes;  // where the tokens made alone are counted
  std::mt19937 random(20261210);
  std::map<uint8_t, int> recognised;
  for (int round = 0; round < 40000; ++round) {
    std::string text = round % 2 ? source_like_text(random) : random_text(random) + random_text(random);
    const uint8_t* input = reinterpret_cast<const uint8_t*>(text.data());
    const uint8_t* end = input + text.size();
    for (const uint8_t* p = input; p <= end; ++p) {
      auto at = [&] { return text + " at " + std::to_string(p - input); };
      PlainWalk fast = lexer_plain_walk(p, end, 1);
      LexerWalk walk = lexer_walk(p, end, kStartNormal, 1);
      uint32_t flags = walk.flags & kCharFlagMask;
      if (fast.type == kNotPlain) {
        if (!fast.alone) continue;
        ++recognised[kAlone];
        ASSERT_EQ(fast.start, walk.start) << at();
        ASSERT_EQ(fast.start, walk.end) << at();
        ASSERT_EQ(fast.line, walk.line) << at();
        ASSERT_EQ(fast.alone, walk.final_state) << at();
        ASSERT_EQ(walk.last_state, kStartNormal) << at();
        ASSERT_EQ(flags, 0u) << at();
        continue;
      }
      ++recognised[fast.type];
      ASSERT_EQ(fast.start, walk.start) << at();
      ASSERT_EQ(fast.end, walk.end) << at();
      ASSERT_EQ(fast.line, walk.line) << at();
      ASSERT_EQ(fast.type + kFirstFinalState, walk.final_state) << at();
      ASSERT_EQ(fast.next, fast.end + (fast.type == kTokenString)) << at();
      ASSERT_LT(fast.next, end) << at();
      if (fast.type == kTokenComment) continue;
      ASSERT_EQ(flags & kFlagNonAscii, 0u) << at();
      ASSERT_TRUE(token_passes_unchecked(token_handlers(fast.type), walk.start, walk.end, flags)) << at();
    }
  }
  constexpr std::array<uint8_t, 6> kMet = {kTokenComment, kTokenString, kTokenWord, kTokenInteger, kTokenFloat, kAlone};
  for (uint8_t type : kMet)
    EXPECT_GT(recognised[type], 1000) << int{type};
}

// A token the handler table lets pass unchecked passes its check when it runs; the texts reach
// every type the table settles.
TEST_F(LexerTest, TokensPassingUncheckedPassTheirChecks) {
  std::mt19937 random(19650218);
  std::map<uint8_t, int> settled;
  for (int round = 0; round < 100000; ++round) {
    std::string text = random_text(random);
    LexerState state;
    state.input_start = state.position = reinterpret_cast<const uint8_t*>(text.data());
    state.input_end = state.input_start + text.size();
    LexerToken token = lexer_walk_token(state);
    const TokenHandlers& handlers = token_handlers(token.type);
    TokenHandler check = handlers.scanner ? handlers.scanner : handlers.loader;
    if (token.type < kTokenString || !check || !token_passes_unchecked(handlers, token.start, state.token_end, token.flags))
      continue;
    ++settled[token.type];
    ASSERT_EQ(check(state, token.start, state.token_end, token.flags, false), LexStatus::ok) << text;
  }
  for (uint8_t type : {kTokenString, kTokenWord, kTokenInteger, kTokenFloat}) EXPECT_GT(settled[type], 20) << int{type};
}

TEST(LexerRecursion, ATracerRecursingIntoTheLexerEndsInStackOverflow) {
  int result = run_on_language_thread(
      [] {
        reset_services();
        restart_memory();
        LexerTracer tracer{[](const LexerTracer& self, LexerTraceCall&) {
                             LexerRequest request;
                             request.tracer = &self;
                             Cell out;
                             (void)lexer_transcode(out, bytes_of("[a]"), request);
                             return true;
                           },
                           make_cell(Type::none), kAllLexerEvents, nullptr};
        LexerRequest request;
        request.tracer = &tracer;
        Cell out;
        Caught caught = trap_errors([&] { (void)lexer_transcode(out, bytes_of("[a]"), request); });
        bool overflowed =
            caught.taken == kThrowError && stand_in_last_error().id == error_id("internal", "stack-overflow");
        stack_drop(1);
        Caught again = trap_errors([&] { (void)lexer_transcode(out, bytes_of("\"a\" \"b\""), {}); });
        bool clean = lexer_innermost() == nullptr && again.taken == 0 && cells_of(out).size() == 2;
        memory_release_all();
        return static_cast<int>(overflowed && clean);
      },
      16 << 20);
  EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace qel
