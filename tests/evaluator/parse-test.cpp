// parse-test.cpp: the parse engine's stacks: every way out of a parse leaves them as they were
// found, and a nested parse works above the outer one's heads and restores them.
#include "eval-fixture.h"

#include "evaluator/parse-stacks.h"

namespace qel::testing {
namespace {

// The stacks' heads and depths at one moment.
struct StackState {
  uint32_t input_head;
  uint32_t rule_head;
  int64_t input_depth;
  int64_t rule_depth;
  bool operator==(const StackState&) const = default;
};
std::ostream& operator<<(std::ostream& out, const StackState& s) {
  return out << "heads " << s.input_head << "/" << s.rule_head << " depths " << s.input_depth << "/" << s.rule_depth;
}
StackState stack_state() { return {parse_input_head(), parse_rule_head(), parse_input_depth(), parse_rule_depth()}; }

std::vector<StackState> probes;

class ParseTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    init_parse();
    probes.clear();
    // probe: records the stacks' state where it is called from (a paren)
    define("probe", test_native(
                        [](const int32_t*) -> Status {
                          probes.push_back(stack_state());
                          *value_stack.base = make_cell(Type::none);
                          return {};
                        },
                        ""));
  }
};

constexpr StackState kEmpty{0, 0, 0, 0};

TEST_F(ParseTest, EveryWayOutLeavesTheStacksEmpty) {
  // Each way out, and what the evaluation gave: a molded value or the error raised.
  const MoldRow ways_out[] = {
      {"parse \"a\" [some]", "error script/parse-end"},
      {"parse [[1 [2 [3]]]] [into [skip into [skip into [x-unset]]]]", "error script/no-value"},
      {"parse \"a\" [(no-such-word)]", "error script/no-value"},
      {"parse \"a\" [collect [keep skip (no-such-word)]]", "error script/no-value"},
      {"loop 1 [parse \"a\" [some [(break)]]] 1", "1"},
      {"catch [parse \"ab\" [skip [(throw 1)]]]", "1"},
      {"f: func [] [parse \"a\" [(return 7)]] f", "7"},
      {"parse/trace \"ab\" [skip skip] func [e m r i s] [e <> 'fetch]", "true"},
      {"parse/trace \"a\" [skip] func [e m r i s] [no-such-word]", "error script/no-value"},
      {"loop 1 [parse/trace \"a\" [skip] func [e m r i s] [break]] 2", "2"},
      {"r: [skip r] parse [1 1 1 1 1 1 1 1] r", "false"},
  };
  for (const MoldRow& row : ways_out) {
    EXPECT_EQ(eval_mold(row.code), row.molded) << row.code;
    EXPECT_EQ(stack_state(), kEmpty) << row.code;
  }
}

TEST_F(ParseTest, NestedParseWorksAboveTheOuterHeadsAndRestoresThem) {
  const Outcome outcome = run("parse [1 [2]] [skip into [(probe parse \"x\" [(probe) skip] probe) skip]]");
  ASSERT_EQ(outcome.code, 0u);
  EXPECT_EQ(mold(outcome.value), "true");
  ASSERT_EQ(probes.size(), 3u);
  // outer: two inputs (the block, the entered one), three frames (top block, into, its block)
  const StackState outer{0, 0, 2, 9};
  EXPECT_EQ(probes[0], outer);
  // inner: above the outer cells and the marker that saved the outer heads
  EXPECT_EQ(probes[1], (StackState{2, 10, 1, 3}));
  EXPECT_EQ(probes[2], outer);
  EXPECT_EQ(stack_state(), kEmpty);
}

TEST_F(ParseTest, ErrorInANestedParseRestoresEveryLevel) {
  const Outcome outcome = run("parse \"ab\" [skip (probe try [parse \"x\" [(probe) some]] probe) skip]");
  ASSERT_EQ(outcome.code, 0u);
  ASSERT_EQ(probes.size(), 3u);
  EXPECT_EQ(probes[0], probes[2]);
  EXPECT_EQ(stack_state(), kEmpty);
}

}  // namespace
}  // namespace qel::testing
