// shortcuts-test.cpp: random programs give the same values and errors with the interpreter's
// shortcuts on and off.
#include <random>
#include <string>

#include "eval-fixture.h"
#include "runtime/shortcuts.h"

namespace qel::testing {
namespace {

// Programs from a small grammar: four global words, a function with a refinement and return,
// one with a local and a loop with break, an object's field and method read and set through
// paths, another object's field whose change hook counts its sets, a tuple's components inside
// and outside it, conditionals, switches over words of every kind, loops, arguments and
// set-words over integer arithmetic that may overflow, floats, strings and none, so that every
// shortcut meets values it must refuse. The functions are redefined midway and never call
// themselves. Blocks run again and again (a loop's body, a function's, `do` of a block kept in
// a word) meet what must tell on a block's next run: an operator word given another op, cells
// of the block changed between runs and by the block itself while it runs, and a call's word
// given another function (of another arity, one that returns early, one that redefines itself
// while it runs) or a value that is none, inside the loop that calls it too, as is the function
// whose refinement a call's path names; parens of one call of pick or remainder, through words
// given other functions or none between runs.
class ProgramMaker {
 public:
  explicit ProgramMaker(uint32_t seed) : random_(seed) {}

  std::string program() {
    std::string text = "a: 1 b: 2 c: 3 d: 4 f: func [x /r y] [" + function_body() +
                       "] g: func [n /local t] [t: 0 loop n [t: t + n if t > 5 [break]] t]"
                       " o: make object! [p: 1 q: func [] [p + 1]]"
                       " h: make object! [p: 0 n: 0 on-change*: func [w old new] [n: n + 1]] t: 1.2.3"
                       " u: 1 v: 2 w: 3 pl: make op! :add e: [u: u + 1 w: w pl u] s: [v: v - 1 poke s 4 u]"
                       " k: func [x y] [x + y] pk: :pick rm: :remainder bl: [5 x \"s\" 2147483647]";
    for (int n = 1 + pick(6); n > 0; --n) text += " " + statement(2);
    return text + " reduce [a b c d o/p h/p h/n u v w e s]";
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }
  std::string var() { return std::string(1, "abcd"[pick(4)]); }

  std::string atom() {
    switch (pick(30)) {
      case 0: case 1: case 2: case 3: case 4: case 5: return std::to_string(pick(2000) - 1000);
      case 6: return pick(2) ? "2147483647" : "-2147483647";
      case 7: return "1.5";
      case 8: return "\"s\"";
      case 9: return "none";
      case 10: return "x";  // a word of no value outside the functions
      case 11: return "o/p";
      case 12: return "o/q";
      case 13: return "t/" + std::to_string(pick(5));
      default: return var();
    }
  }

  std::string op() {
    static const char* const ops[] = {"+", "-", "*", "<", "=", "and"};
    return ops[pick(6)];
  }

  // A cell put into the block `e` (see program): an operator's word where one stands, else an
  // operand, now and then one no arithmetic takes; or a change of the block's shape (a set-word
  // made a word and back, an operator made an integer and back). `e` and `s` keep words of
  // their own, so that what they do to each other stays apart from the rest.
  std::string edit_of_e() {
    static const char* const ops[] = {"'+", "'-", "'*", "'pl"};
    static const char* const operands[] = {"'u", "'w", "5", "2147483647", "\"s\""};
    static const char* const shapes[] = {"5 'w", "5 to set-word! 'w", "3 7", "3 '+"};
    switch (pick(5)) {
      case 0: case 1: return "poke e " + std::string(pick(2) ? "3 " : "7 ") + ops[pick(4)];
      case 2: return "poke e " + std::string(shapes[pick(4)]);
      default: return "poke e " + std::to_string(2 + 2 * pick(3)) + " " + operands[pick(pick(4) ? 4 : 5)];
    }
  }

  // `k` given another value: a function of two or one parameters (one returns early, one
  // redefines `k` while it runs), a native, an action, or no function at all.
  std::string new_k() {
    static const char* const values[] = {"func [x y] [if x > y [return x] y]", "func [x y] [k: func [x] [x * 2] x - y]",
                                         "func [x] [x + 1]", ":add", ":multiply", "5"};
    return std::string("k: ") + values[pick(6)];
  }

  // A statement that calls `k`, or `f` with its refinement or without, with simple arguments,
  // its value set or not.
  std::string call_of_k() {
    const int callee = pick(4);
    const std::string call = callee < 2 ? "k " + atom() + " " + atom() : callee == 2 ? "f " + atom() : "f/r " + atom() + " " + atom();
    return (pick(2) ? var() + ": " : "") + call;
  }

  // A call that a paren holding it alone may give in place: a pick of `bl` or of anything, a
  // remainder (by 0 too, and of the one quotient out of range), through words rebound now and
  // then (new_callee).
  std::string in_place_call() {
    switch (pick(4)) {
      case 0: return "pk bl " + atom();
      case 1: return "rm " + atom() + " " + (pick(4) ? atom() : "0");
      case 2: return "rm -2147483647 - 1 " + std::string(pick(2) ? "-1" : atom());
      default: return "pick " + (pick(2) ? "bl" : atom()) + " " + atom();
    }
  }

  // `pk` or `rm` given another value: an action done in place or not, a function, no function.
  std::string new_callee() {
    static const char* const values[] = {":pick", ":remainder", ":subtract", ":append", "func [a b] [b]", "5"};
    return std::string(pick(2) ? "pk: " : "rm: ") + values[pick(6)];
  }

  // `pl` made another operator.
  std::string new_pl() {
    static const char* const makers[] = {":add", ":subtract", ":multiply", "func [x y] [x * 3 + y]"};
    return std::string("pl: make op! ") + makers[pick(4)];
  }

  // A word of some kind, in some case, that the switch of `statement` finds past words of
  // other kinds spelled alike.
  std::string switch_value() {
    static const char* const values[] = {"'A", "'C", "first [b:]", "first ['C]", "/D", "#A", "'B", "first [E:]"};
    return values[pick(8)];
  }

  std::string operand(int depth) {
    if (depth > 0) {
      switch (pick(7)) {
        case 0: return "(" + expression(depth - 1) + ")";
        case 1: return "f " + operand(depth - 1);
        case 2: return "f/r " + operand(depth - 1) + " " + operand(depth - 1);
        case 3: return "g " + std::to_string(pick(5));
        case 4: return "g " + expression(0);
        case 5: return "(" + in_place_call() + ")";
      }
    }
    return atom();
  }

  std::string expression(int depth) {
    std::string text = operand(depth);
    for (int n = pick(3); n > 0; --n) text += " " + op() + " " + operand(depth);
    return text;
  }

  std::string block(int depth) {
    std::string text;
    for (int n = 1 + pick(2); n > 0; --n) text += " " + statement(depth);
    return text;
  }

  std::string function_body() {
    switch (pick(4)) {
      case 0: return "if r [return x - y] x + 1";
      case 1: return "either r [x * y] [return x]";
      case 2: return "x: x + " + atom() + " if r [x: x - y] x";
      default: return "a: x " + op() + " 2 return a";
    }
  }

  std::string statement(int depth) {
    switch (pick(depth > 0 ? 12 : 3)) {
      case 0: case 1: return var() + ": " + expression(depth);
      case 2: return var() + ": " + var() + ": " + expression(depth);
      case 3: return "if " + expression(depth - 1) + " [" + block(depth - 1) + "]";
      case 4: return "either " + expression(depth - 1) + " [" + block(depth - 1) + "] [" + block(depth - 1) + "]";
      case 5: return "loop " + std::to_string(pick(4)) + " [" + block(depth - 1) + " if " + expression(0) + " [break]]";
      case 6: return "repeat i " + std::to_string(pick(4)) + " [" + var() + ": i * " + atom() + block(depth - 1) + "]";
      case 7:
        switch (pick(4)) {
          case 0: return "f: func [x /r y] [" + function_body() + "]";
          case 1: return (pick(2) ? "o/p: " : "h/p: ") + expression(depth - 1);
          case 2:
            return var() + ": switch " + switch_value() + " [a [" + block(depth - 1) +
                   "] B: [2] 'c [3] /d [4] #a [5] C [6] b [7] e: [8]]";
          default: return var() + ": :f";  // a word the arguments read comes to hold a function
        }
      case 10: return pick(3) ? call_of_k() : new_k();
      // The callee's word rebound inside a loop's body: the next run calls the new value.
      case 11:
        return "loop 4 [" + call_of_k() + " " + call_of_k() + (pick(2) ? " " + new_k() : pick(2) ? " f: func [x /r y] [" + function_body() + "]" : "") + "]";
      case 8:
        switch (pick(5)) {
          case 0: return new_pl();
          case 4: return new_callee();
          case 1: return edit_of_e();
          // The second run of a block makes its plan: the third meets the change.
          case 2: return "loop 2 [do e do e " + new_pl() + "]";
          default: return "loop 2 [do e do e " + edit_of_e() + " do s]";
        }
      default: return var() + ": f/r " + operand(depth - 1) + " " + operand(depth - 1);
    }
  }

  std::mt19937 random_;
};

class ShortcutsTest : public EvalTest {
 protected:
  void TearDown() override {
    shortcuts_enabled = true;
    EvalTest::TearDown();
  }

  // What a run gave, as text: the molded value, or the error with its arguments and the
  // expression it was made in, or another exit's code.
  static std::string outcome_of(const std::string& program, bool shortcuts) {
    shortcuts_enabled = shortcuts;
    const Outcome outcome = run(program);
    shortcuts_enabled = true;
    if (outcome.code == kThrowError) {
      std::string text = "error " + error_name(outcome.error);
      for (const Cell& arg : outcome.args) text += " " + mold(arg);
      return text + " near " + mold(outcome.near);
    }
    if (outcome.code) return "exit " + std::to_string(outcome.code);
    return mold(outcome.value);
  }
};

TEST_F(ShortcutsTest, RandomProgramsGiveTheSameValuesAndErrorsBothWays) {
  // The torture mode moves every buffer at every safe point: a few programs suffice there.
  const int programs = collector_torture() ? 5 : 60;
  for (uint32_t seed : {1u, 2u, 3u}) {
    ProgramMaker maker(seed);
    int errors = 0;
    for (int i = 0; i < programs; ++i) {
      const std::string program = maker.program();
      const std::string with = outcome_of(program, true);
      ASSERT_EQ(with, outcome_of(program, false)) << program;
      errors += with.starts_with("error");
    }
    // The grammar reaches both ends: values and errors.
    if (programs == 60) {
      EXPECT_GT(errors, 5) << seed;
      EXPECT_LT(errors, 55) << seed;
    }
  }
}

TEST_F(ShortcutsTest, RunawayRecursionThroughPlannedStatementsIsTheCatchableError) {
  // Every level runs a statement from its block's plan before it calls deeper. The torture mode
  // would collect at each of the thousands of levels, for minutes: it runs only without it.
  if (collector_torture()) GTEST_SKIP();
  const std::string program = "h: func [x] [x: x + 1 h x] e: try [h 1] e/id";
  EXPECT_EQ(outcome_of(program, true), "stack-overflow");
  EXPECT_EQ(outcome_of(program, false), "stack-overflow");
}

}  // namespace
}  // namespace qel::testing
