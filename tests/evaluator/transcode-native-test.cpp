// transcode-native-test.cpp: transcode on binary! input (a byte-order mark, /part by position,
// /next's rest) and the /part type rule, called from C++.
#include <cstring>

#include "eval-fixture.h"
#include "evaluator/transcode-native.h"

namespace qel::testing {
namespace {

inline constexpr size_t kTranscodeRefinements = 7;

class TranscodeNativeTest : public EvalTest {
 protected:
  // A binary! of the bytes, at its head.
  static Cell binary_of(std::string_view bytes) {
    NodeId node = new_byte_series(static_cast<int64_t>(bytes.size()));
    std::memcpy(series_reserve_tail_bytes(node, static_cast<int64_t>(bytes.size())), bytes.data(), bytes.size());
    Cell binary = make_cell(Type::binary, 0, node);
    root_slot_append(binary);
    return binary;
  }
  static Cell transcode(const Cell& source, Refinements refinements = {}) {
    Cell result = call_native(native_transcode, kTranscodeRefinements, std::array{source}, refinements);
    stack_drop(1);
    return result;
  }
};

TEST_F(TranscodeNativeTest, BinaryInputSkipsAByteOrderMark) {
  const Cell source = binary_of("\xEF\xBB\xBF" "1 2");
  EXPECT_EQ(mold(transcode(source)), "[1 2]");
  // /next: the value, and the source past the mark and the value's byte
  const Cell next = transcode(source, {{0, true}});
  const Cell* cells = series_buffer(next.w2)->head_cell();
  EXPECT_EQ(mold(cells[0]), "1");
  EXPECT_EQ(cell_type(cells[1]), Type::binary);
  EXPECT_EQ(cells[1].w1, 4u);
  // /part by a position in the same binary; a negative count is 0
  Cell position = source;
  position.w1 = 4;
  EXPECT_EQ(mold(transcode(source, {{4, true, std::array{position}}})), "[1]");
  EXPECT_EQ(mold(transcode(source, {{4, true, std::array{integer_cell(-2)}}})), "[]");
}

TEST_F(TranscodeNativeTest, PartPositionInAnotherTypeOfSeries) {
  const Cell text = load("\"1 2\"");
  const Cell source = series_buffer(text.w2)->head_cell()[0];
  const Cell bytes = binary_of("1 2");
  Caught caught = trap_errors([&] { transcode(source, {{4, true, std::array{bytes}}}); });
  EXPECT_EQ(caught.taken, kThrowError);
  EXPECT_EQ(error_name(last_built.id), "script/not-same-type");
}

}  // namespace
}  // namespace qel::testing
