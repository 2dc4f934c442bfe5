// Catch sites take the codes at or below their level, from either carrier, and pass the rest on.
#include <gtest/gtest.h>

#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/runtime-record.h"
#include "runtime/services.h"
#include "runtime/throw.h"

namespace qel {
namespace {

enum class Carrier { status, exception };

Status leave_with(Carrier carrier, uint32_t code) {
  if (carrier == Carrier::exception) throw_code(code);
  return exit_with(code);
}

struct CatchRow {
  uint32_t level;
  uint32_t code;
  bool taken;
};

class CatchSiteTable : public ::testing::TestWithParam<Carrier> {};

TEST_P(CatchSiteTable, TakesCodesUpToItsLevelAndPassesTheRest) {
  const CatchRow rows[] = {
      {kThrowBreak, kThrowBreak, true},        // level equal to the code is caught
      {kThrowBreak, kThrowContinue, true},
      {kThrowBreak, kThrowUser, true},         // loops take every lower code
      {kThrowBreak, kThrowError, false},       // errors pass loops
      {kThrowReturn, kThrowExit, true},
      {kThrowReturn, kThrowBreak, false},
      {kThrowUser, kThrowUser, true},
      {kThrowError, kThrowError, true},
      {kLevelRoot, kThrowError, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << "level " << row.level << " code " << row.code);
    Carrier carrier = GetParam();
    bool rethrown = false;
    Caught caught;
    try {
      caught = catch_site(row.level, [&] { return leave_with(carrier, row.code); });
    } catch (const NonLocalExit& exit) {
      rethrown = true;
      EXPECT_EQ(exit.code, row.code);
    }
    EXPECT_EQ(runtime.thrown_code, row.code);
    if (row.taken) {
      EXPECT_FALSE(rethrown);
      EXPECT_EQ(caught.taken, row.code);
      EXPECT_TRUE(caught.passed.ok());
    } else if (carrier == Carrier::exception) {
      EXPECT_TRUE(rethrown);  // an exception goes on as an exception
    } else {
      EXPECT_EQ(caught.taken, 0u);
      EXPECT_EQ(caught.passed.code(), row.code);  // a Status goes on as a Status
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothCarriers, CatchSiteTable, ::testing::Values(Carrier::status, Carrier::exception));

TEST(CatchSite, NormalEndTakesNothing) {
  Caught caught = catch_site(kThrowBreak, [] { return Status{}; });
  EXPECT_EQ(caught.taken, 0u);
  EXPECT_TRUE(caught.passed.ok());
  Caught from_void = catch_site(kThrowBreak, [] {});
  EXPECT_EQ(from_void.taken, 0u);
}

TEST(CatchSite, BreakLevelLetsErrorsPassButTakesUserThrow) {
  EXPECT_THROW(catch_site(kThrowBreak, [] { throw_code(kThrowError); }), NonLocalExit);
  EXPECT_EQ(catch_site(0x7FFFFFFE, [] { return exit_with(0x7FFFFFFA); }).taken, 0x7FFFFFFAu);
}

TEST(RaiseError, BuildsThroughTheServiceAndTravelsAsTheErrorCode) {
  reset_services();
  Cell argument{9, 1, 2, 3};
  Caught caught = trap_errors([&] { raise_error(error_id("script", "invalid-arg"), argument); });
  EXPECT_EQ(caught.taken, kThrowError);
  const StandInError& error = stand_in_last_error();
  EXPECT_EQ(error.id, error_id("script", "invalid-arg"));
  ASSERT_EQ(error.arg_count, 1u);
  EXPECT_EQ(error.args[0].w3, 3u);
}

TEST(ErrorCatalog, PositionsCountFromTwoAfterCodeAndType) {
  EXPECT_EQ(error_id("script", "expect-arg"), (ErrorId{3, 7}));
  EXPECT_EQ(error_id("script", "invalid-arg").position, 11u);
  EXPECT_EQ(error_id("script", "out-of-range").position, 43u);
  EXPECT_EQ(error_id("script", "bad-make-arg").position, 55u);
  EXPECT_EQ(error_id("script", "bad-to-arg").position, 56u);
  EXPECT_EQ(error_id("math", "zero-divide"), (ErrorId{4, 2}));
  EXPECT_EQ(error_id("math", "overflow").position, 3u);
  EXPECT_EQ(error_id("internal", "no-memory"), (ErrorId{9, 4}));
  EXPECT_EQ(error_id("internal", "too-deep").position, 8u);
  EXPECT_EQ(error_id("internal", "not-done").position, 11u);
  EXPECT_EQ(error_id("script", "need-value").code(), 301);
  EXPECT_EQ(error_id("math", "zero-divide").code(), 400);
  EXPECT_EQ(std::size(catalog_ids::script_ids), 94u);
}

}  // namespace
}  // namespace qel
