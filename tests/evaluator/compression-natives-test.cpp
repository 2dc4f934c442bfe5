// compress and decompress against codec doubles: the retry at the reported size, untrusted
// reports, the cap, and gzip asking its size first.
#include <vector>

#include "loader/compression-methods.h"
#include "tests/evaluator/eval-fixture.h"

namespace qel::testing {
namespace {

// What the double answers on each call, and the capacities it was called with.
struct Script {
  std::vector<std::pair<int32_t, int32_t>> answers;  // (status, size)
  std::vector<int32_t> capacities;
  size_t next = 0;
};
Script script;

int32_t scripted_codec(uint8_t* output, int32_t* size, const uint8_t*, int32_t) {
  script.capacities.push_back(output ? *size : -1);  // -1: asked for the size alone
  const auto [status, answer] = script.answers[script.next++];
  if (status == 0 && output) for (int32_t k = 0; k < answer; ++k) output[k] = static_cast<uint8_t>('a' + k);
  *size = answer;
  return status;
}

class CompressionNativesTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    init_compression_methods();
    script = {};
    for (CodecFunction* codec : {&services().zlib_encode, &services().deflate_encode, &services().gzip_encode,
                                 &services().zlib_decode, &services().inflate_decode, &services().gzip_decode})
      *codec = scripted_codec;
  }
};

TEST_F(CompressionNativesTest, OneRetryAtTheReportedSize) {
  script.answers = {{1, 40}, {0, 3}};
  expect_molds({{R"(compress "abc" 'ZLIB)", "#{616263}"}});
  EXPECT_EQ(script.capacities, (std::vector<int32_t>{35, 40}));
}

TEST_F(CompressionNativesTest, ReportsAreNotTrusted) {
  struct Row {
    std::vector<std::pair<int32_t, int32_t>> answers;
    const char* error;
  };
  const Row rows[] = {
      {{{1, 40}, {1, 50}}, "script/invalid-data"},
      {{{1, -5}}, "script/invalid-data"},
      {{{0, 99}}, "script/invalid-data"},
      {{{2, 0}}, "script/invalid-data"},
      {{{6, 1000}}, "internal/limit-hit"},
  };
  for (const Row& row : rows) {
    script = {};
    script.answers = row.answers;
    EXPECT_EQ(eval_mold(R"(compress "x" 'deflate)"), std::string("error ") + row.error);
  }
  // Beyond what a series can hold, before any codec runs.
  script = {};
  EXPECT_EQ(eval_mold(R"(decompress/size to binary! "x" 'zlib 2147483647)"), "error internal/no-memory");
}

TEST_F(CompressionNativesTest, DecompressAsksTheSizeUnlessSizeIsLarger) {
  script.answers = {{1, 4}, {0, 4}};
  expect_molds({{R"(decompress to binary! "ab" 'gzip)", "#{61626364}"}});
  EXPECT_EQ(script.capacities, (std::vector<int32_t>{-1, 4}));
  script = {};
  script.answers = {{1, 2}, {0, 2}};
  expect_molds({{R"(decompress/size to binary! "ab" 'gzip 100)", "#{6162}"}});
  EXPECT_EQ(script.capacities, (std::vector<int32_t>{-1, 2}));
  script = {};
  script.answers = {{0, 2}};
  expect_molds({{R"(decompress/size to binary! "ab" 'deflate 10)", "#{6162}"}});
  EXPECT_EQ(script.capacities, (std::vector<int32_t>{10}));
  expect_errors({{R"(compress "x" 'brotli)", "script/invalid-arg", {"brotli"}}});
}

}  // namespace
}  // namespace qel::testing
