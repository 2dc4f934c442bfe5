// print-reduce-test.cpp: reduce (/into, new-line markers, function values, the owner's notice)
// and print and prin (the print hooks, the shared buffer, the last line flag).
#include "eval-fixture.h"

#include "evaluator/print-natives.h"
#include "runtime/ownership.h"
#include "runtime/print-hooks.h"

namespace qel::testing {
namespace {

// What the print hooks received: each text and whether a line end followed it.
struct Printed {
  std::string text;
  bool newline;
  bool operator==(const Printed&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Printed& p) { return out << '"' << p.text << '"' << p.newline; }
std::vector<Printed> printed;
void capture(const Cell& text, bool newline) { printed.push_back({EvalTest::text_of(text), newline}); }

// The owner notices of a reduce/into: their action words.
std::vector<std::string> told;
void record_change(const OwnerChange& change) { told.emplace_back(symbol_name(change.action.w2)); }

class PrintReduceTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    printed.clear();
    print_hooks_add(capture, nullptr);
  }
  void TearDown() override {
    print_hooks_remove(capture, nullptr);
    EvalTest::TearDown();
  }
};

TEST_F(PrintReduceTest, ReduceEvaluatesEachExpressionIntoANewBlock) {
  define("a", integer_cell(5));
  expect_molds({
      {"reduce [1 + 2 \"x\" a]", "[3 \"x\" 5]"},
      {"reduce []", "[]"},
      {"reduce next [1 2 + 3]", "[5]"},
      {"reduce [[1 + 2] (4 * 2)]", "[[1 + 2] 8]"},
      {"reduce 'a", "5"},
      {"reduce 7", "7"},
      {"same? :add reduce :add", "true"},
      {"same? :+ reduce :+", "true"},
      {"b: copy [] reduce/into [1 + 1 [3]] b", "[]"},
      {"b", "[2 [3]]"},
      {"b: [9] reduce/into [1 2] b", "[9]"},
      {"b", "[1 2 9]"},
      {"b: [9] reduce/into 'a b b", "[5 9]"},
      {"b: [9] same? :add reduce/into :add b", "true"},
      {"b", "[9]"},
  });
  expect_errors({{"reduce [1 2 / 0]", "math/zero-divide", {}}});
}

TEST_F(PrintReduceTest, ANewBlockIsSizedByItsValuesNotItsSourceCells) {
  // Nine cells give three values; the block keeps room for three.
  const Cell row = run("reduce [remainder 7 3 remainder 8 3 remainder 9 3]").value;
  EXPECT_EQ(mold(row), "[1 2 0]");
  EXPECT_EQ(series_buffer(row.w2)->capacity, 3 * sizeof(Cell));
  // A source too long to be gathered on the stack first: the same values, the same error.
  std::string text = "reduce [";
  for (int i = 0; i < 100; ++i) text += std::to_string(i) + " + 1 ";
  const Cell long_row = run(text + "]").value;
  ASSERT_EQ(block_total_cells(long_row), 100);
  EXPECT_EQ(mold(*block_cell_at(long_row, 99)), "100");
  for (const std::string& failing : {text + "1 / 0]", std::string("reduce [1 2 3 1 / 0]")})
    EXPECT_EQ(eval_mold(failing), "error math/zero-divide") << failing;
}

TEST_F(PrintReduceTest, ReducedValuesLoseTheirNewLineMarkers) {
  const Cell code = load("1 2 [3]");
  block_cell_at(code, 1)->header |= kNewLineFlag;
  block_cell_at(code, 2)->header |= kNewLineFlag;
  define("code", code);
  for (const char* text : {"reduce code", "reduce/into code copy []"}) {
    Cell result = run(text).value;
    result.w1 = 0;
    ASSERT_EQ(block_total_cells(result), 3) << text;
    for (int64_t i = 0; i < 3; ++i) EXPECT_EQ(block_cell_at(result, i)->header & kNewLineFlag, 0u) << text << i;
  }
}

TEST_F(PrintReduceTest, ReduceIntoAnOwnedBlockTellsItsOwnerOnceMoreAtTheEnd) {
  told.clear();
  services().object_fire_on_change = record_change;
  NodeId context = context_make(2, false, false, 0, kObjectContext);
  const Cell owner = make_cell(Type::object, context, 0, new_cell_series(1));
  context_owner(context) = owner;
  context_add_word(symbol_intern_cstring("data"), context);
  root_slot_append(owner);
  Cell out = load("9");
  series_set_owned(out, owner, *context_word_at(context, 0));
  define("out", out);
  EXPECT_EQ(eval_mold("reduce/into [1 2] out"), "[9]");
  EXPECT_EQ(told, (std::vector<std::string>{"insert", "inserted", "insert", "inserted", "reduced"}));
}

TEST_F(PrintReduceTest, PrintAndPrinGiveTheirTextToTheHooks) {
  expect_molds({
      {"print [1 + 2 \"x\"]", "unset"},
      {"prin \"a\" prin \"b\"", "unset"},
      {"print next \"abc\"", "unset"},
      {"print 12", "unset"},
      {"print [[1 2] \"x\" []]", "unset"},
      {"print []", "unset"},
  });
  EXPECT_EQ(printed, (std::vector<Printed>{
                         {"3 x", true}, {"a", false}, {"b", false}, {"bc", true}, {"12", true}, {"1 2 x ", true},
                         {"", true}}));
}

TEST_F(PrintReduceTest, TheLastLineFlagFollowsTheLastPrint) {
  EXPECT_FALSE(print_last_line_flag());
  run("print 1");
  EXPECT_TRUE(print_last_line_flag());
  run("prin 1");
  EXPECT_FALSE(print_last_line_flag());
  run("print [1 / 0]");
  EXPECT_FALSE(print_last_line_flag()) << "a print that failed printed nothing";
}

TEST_F(PrintReduceTest, NestedPrintsShareTheBufferAndAFailedPrintLeavesItAsItWas) {
  run("print [\"a\" (print [\"b\" \"c\"] \"d\") \"e\"]");
  EXPECT_ERROR(run("print [\"x\" \"y\" 1 / 0]"), "math", "zero-divide");
  EXPECT_ERROR(run("print [\"x\" (print [\"y\" 1 / 0])]"), "math", "zero-divide");
  run("print \"z\"");
  run("print [\"q\"]");
  EXPECT_EQ(printed, (std::vector<Printed>{{"b c", true}, {"a d e", true}, {"z", true}, {"q", true}}));
}

TEST_F(PrintReduceTest, ThePrintServicePrintsALine) {
  services().print(integer_cell(4));
  services().print(load("2 + 2"));
  EXPECT_EQ(printed, (std::vector<Printed>{{"4", true}, {"4", true}}));
}

}  // namespace
}  // namespace qel::testing
