// environment-natives-test.cpp: variables whose bytes are not UTF-8, which a script cannot set.
#include <cstdlib>

#include "eval-fixture.h"

namespace qel::testing {
namespace {

using EnvironmentNatives = EvalTest;

// An odd variable reads with U+FFFD (the fixture shows it as "?") in place of its stray byte,
// and the listing still lists every variable.
TEST_F(EnvironmentNatives, AValueOutsideUtf8ReadsWithAReplacementAndKeepsTheListing) {
  ASSERT_EQ(::setenv("QEL_ODD_VALUE", "a\xFF" "b", 1), 0);
  ASSERT_EQ(::setenv("QEL_PLAIN_VALUE", "c", 1), 0);
  expect_molds({
      {"get-env \"QEL_ODD_VALUE\"", "\"a?b\""},
      {"select list-env \"QEL_ODD_VALUE\"", "\"a?b\""},
      {"select list-env \"QEL_PLAIN_VALUE\"", "\"c\""},
  });
  ::unsetenv("QEL_ODD_VALUE");
  ::unsetenv("QEL_PLAIN_VALUE");
}

}  // namespace
}  // namespace qel::testing
