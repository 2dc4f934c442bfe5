// Libraries loaded at first use: a typed table is filled whole or not at all.
#include <gtest/gtest.h>

#include "runtime/shared-library.h"

namespace qel {
namespace {

struct MathFunctions {
  double (*cos)(double);
  double (*sqrt)(double);
};

TEST(SharedLibraryTable, FillsEveryPointerOrNone) {
  struct Case {
    const char* file;
    std::array<const char*, 2> names;
    bool loaded;
  };
  const Case cases[] = {
      {"libm.so.6", {"cos", "sqrt"}, true},
      {"libm.so.6", {"cos", "no_such_function"}, false},
      {"libno-such-library.so.1", {"cos", "sqrt"}, false},
  };
  for (const Case& c : cases) {
    MathFunctions table{};
    SharedLibraryTable<MathFunctions> library(c.file, table, c.names);
    EXPECT_EQ(table.cos, nullptr) << c.file << " " << c.names[1];  // nothing before the first use
    ASSERT_EQ(library.loaded(), c.loaded) << c.file << " " << c.names[1];
    EXPECT_EQ(library.loaded(), c.loaded) << "asked again";
    if (c.loaded) {
      EXPECT_EQ(table.cos(0.0), 1.0);
      EXPECT_EQ(table.sqrt(16.0), 4.0);
    } else {
      EXPECT_EQ(table.cos, nullptr) << c.file << " " << c.names[1];
      EXPECT_EQ(table.sqrt, nullptr) << c.file << " " << c.names[1];
    }
    EXPECT_STREQ(library.file(), c.file);
  }
}

}  // namespace
}  // namespace qel
