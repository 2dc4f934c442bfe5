// The image store: premultiplying, filling from data, the flag transitions between the plain
// and the premultiplied array, drawing targets across collections, size limits and sniffing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/series/image-store.h"
#include "runtime/gc-root.h"
#include "tests/runtime/memory-fixture.h"

namespace qel {
namespace {

class ImageStoreTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    image_store_init();
    releases = 0;
  }
  static void count_release(void*) { ++releases; }
  static inline int releases = 0;
  int fake_target = 0;
  ImageTarget target() { return ImageTarget{&fake_target, count_release}; }
};

Cell image_cell(NodeId record) { return make_cell(Type::image, 0, record); }

TEST(ImagePremultiply, RoundsToNearestBothWays) {
  struct Row {
    uint32_t channel, alpha, premultiplied, back;
  };
  const Row rows[] = {{200, 128, 100, 199}, {255, 0, 0, 0}, {255, 255, 255, 255}, {1, 1, 0, 0}, {128, 1, 1, 255}};
  for (const Row& row : rows) {
    uint8_t p = premultiply_channel(row.channel, row.alpha);
    EXPECT_EQ(p, row.premultiplied) << row.channel << "/" << row.alpha;
    EXPECT_EQ(unpremultiply_channel(p, row.alpha), row.back) << row.channel << "/" << row.alpha;
  }
}

TEST_F(ImageStoreTest, RgbDataRunsOutIntoOpaqueWhite) {
  const std::vector<uint8_t> rgb = {1, 2, 3, 4, 5};  // one whole triple
  const std::vector<uint8_t> transparency = {255};
  NodeId record = image_from_rgb_data(3, 1, rgb, transparency, std::nullopt);
  EXPECT_EQ(image_get_pixel(record, 0), 0x00010203u);
  EXPECT_EQ(image_get_pixel(record, 1), 0xFFFFFFFFu);
  EXPECT_EQ(image_get_pixel(record, 2), 0xFFFFFFFFu);
  EXPECT_EQ(image_flags(record), kImagePixelsValid | kImagePixelsChanged);
  EXPECT_EQ(image_width(record), 3);
  EXPECT_EQ(image_height(record), 1);
}

TEST_F(ImageStoreTest, AColourFillsEveryPixel) {
  NodeId record = image_from_rgb_data(2, 2, {}, {}, ImageColour{255, 0, 0, 255});
  for (int i = 0; i < 4; ++i) EXPECT_EQ(image_get_pixel(record, i), 0xFFFF0000u);
  EXPECT_EQ(image_from_rgb_data(0, 5, {}, {}, std::nullopt), 0u);
  EXPECT_EQ(image_from_memory(5, 0, 0, nullptr), 0u);
}

TEST_F(ImageStoreTest, MemoryIsCopiedRowByRowAtItsStride) {
  const uint32_t words[] = {1, 2, 99, 99, 3, 4, 99, 99};
  NodeId record = image_from_memory(2, 2, 16, words);
  std::vector<uint32_t> read;
  for (int i = 0; i < 4; ++i) read.push_back(image_get_pixel(record, i));
  EXPECT_EQ(read, (std::vector<uint32_t>{1, 2, 3, 4}));
}

TEST_F(ImageStoreTest, ASetPixelShowsInThePremultipliedView) {
  NodeId record = image_from_rgb_data(2, 1, {}, {}, ImageColour{10, 20, 30, 255});
  ImageView first = image_premultiplied_view(record);
  EXPECT_EQ(first.data[1], 0xFF0A141Eu);
  EXPECT_EQ(first.stride % 16, 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(first.data) % 16, 0u);
  image_set_pixel(record, 1, 0x80C86400u);
  EXPECT_TRUE(image_flags(record) & kImagePixelsChanged);
  ImageView again = image_premultiplied_view(record);
  EXPECT_EQ(again.data[1], 0x80643200u);
  EXPECT_EQ(image_flags(record) & (kImagePixelsChanged | kImagePremultiplied), kImagePremultiplied);
}

TEST_F(ImageStoreTest, ADrawingMarkedDirtyShowsInAPixelRead) {
  NodeId record = image_from_rgb_data(2, 1, {}, {}, ImageColour{0, 0, 0, 255});
  ImageView view = image_clone_bitmap(record);
  view.data[0] = 0x80640000u;  // drawn: red 100 premultiplied at alpha 128
  image_mark_dirty(record);
  EXPECT_EQ(image_get_pixel(record, 0), 0x80C70000u);
  EXPECT_EQ(image_get_pixel(record, 1), 0xFF000000u);
}

TEST_F(ImageStoreTest, CloningLeavesPrivatePremultipliedAndReadsStayExact) {
  // Alpha 1 loses the colour when premultiplied: a read without a drawing must not.
  NodeId record = image_from_rgb_data(1, 1, {}, {}, ImageColour{200, 150, 100, 1});
  image_clone_bitmap(record);
  EXPECT_EQ(image_flags(record), kImagePrivateDrawing | kImagePremultiplied);
  EXPECT_EQ(image_get_pixel(record, 0), 0x01C89664u);
  image_clone_bitmap(record);  // already private: nothing changes
  EXPECT_EQ(image_flags(record), kImagePrivateDrawing | kImagePremultiplied | kImagePixelsValid);
}

TEST_F(ImageStoreTest, ADrawingTargetSurvivesOneCollectionThenIsReleasedOnce) {
  GcRoot<Cell> image(image_cell(image_from_rgb_data(1, 1, {}, {}, std::nullopt)));
  image_set_target(image.get().w2, target());
  EXPECT_EQ(image_mark_drawing(image.get().w2).object, &fake_target);
  collect_now();
  EXPECT_EQ(releases, 0);
  EXPECT_FALSE(image_flags(image.get().w2) & kImageDrawing);
  collect_now();
  EXPECT_EQ(releases, 1);
  collect_now();
  EXPECT_EQ(releases, 1);
}

TEST_F(ImageStoreTest, AnUnreachableImageIsReleasedOnce) {
  uint64_t before = memory.outside_total;
  NodeId record = image_from_rgb_data(64, 64, {}, {}, std::nullopt);
  image_premultiplied_view(record);
  image_set_target(record, target());
  EXPECT_GT(memory.outside_total, before);
  collect_now();
  EXPECT_EQ(releases, 1);
  EXPECT_EQ(memory.outside_total, before);
  collect_now();
  EXPECT_EQ(releases, 1);
}

TEST_F(ImageStoreTest, MarkDirtyAndReleaseDropTheTarget) {
  NodeId record = image_from_rgb_data(1, 1, {}, {}, std::nullopt);
  image_set_target(record, target());
  image_set_target(record, target());  // the same target again is kept
  EXPECT_EQ(releases, 0);
  image_mark_dirty(record);
  EXPECT_EQ(releases, 1);
  image_set_target(record, target());
  image_release_bitmaps(record);
  EXPECT_EQ(releases, 2);
  EXPECT_EQ(image_get_pixel(record, 0), 0u);
}

TEST_F(ImageStoreTest, SizesPastTheLimitsAreRefusedBeforeAllocating) {
  uint64_t before = memory.outside_total;
  for (auto [w, h] : {std::pair<int64_t, int64_t>{70000, 2}, {2, 70000}, {20000, 20000}, {-1, 2}}) {
    EXPECT_TRUE(raises_error(error_id("script", "out-of-range"), [&] { image_record_new(0, w, h); })) << w << "x" << h;
  }
  EXPECT_EQ(memory.outside_total, before);
  EXPECT_NO_THROW(image_size_check(65535, 4096));
}

TEST_F(ImageStoreTest, LargeImagesMadeInALoopAreCollected) {
  uint64_t most = 0;
  for (int i = 0; i < 300; ++i) {
    GcRoot<Cell> image(image_cell(image_from_rgb_data(2000, 2000, {}, {}, ImageColour{1, 2, 3, 255})));
    most = std::max(most, memory.outside_total);
    gc_safepoint();
  }
  EXPECT_LT(most, uint64_t{256} << 20);
}

TEST(ImageSniff, KnowsTheSixSignatures) {
  struct Row {
    std::string bytes;
    bool image;
  };
  const Row rows[] = {{"\x89PNG", true},     {"\xFF\xD8\xFF", true}, {"BM", true},       {"GIF89a", true},
                      {"GIF87a", true},      {"GIF88a", false},      {"GIF8", false},    {std::string("II*\0", 4), true},
                      {std::string("MM\0*", 4), true}, {"BMW", true}, {"PNG", false},   {"", false},
                      {"\xFF\xD8", false}};
  for (const Row& row : rows) {
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(row.bytes.data()), row.bytes.size());
    EXPECT_EQ(image_bytes_sniff(bytes), row.image) << row.bytes;
  }
}

}  // namespace
}  // namespace qel
