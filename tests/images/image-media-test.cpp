// image! values from encoded bytes and files, encoded bytes from images, and the premultiplied
// view handed to a drawing library without a copy.
#include <gtest/gtest.h>

#include <cairo.h>

#include <set>

#include "datatypes/scalars/none.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/image.h"
#include "datatypes/series/url.h"
#include "runtime/console-output.h"
#include "runtime/value-stack.h"
#include "tests/images/image-fixtures.h"
#include "tests/runtime/memory-fixture.h"

namespace qel {
namespace {

class ImageMediaTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    image_store_init();
  }
  // The images a test made are unreachable now: a collection releases their stores.
  void TearDown() override {
    value_stack_reset();
    collect_now();
    MemoryTest::TearDown();
  }
  static Cell file_cell(const std::filesystem::path& path) { return file_from_os_name(path.string()); }
  static std::vector<uint32_t> pixels_of(const Cell& image) {
    ImageView view = image_pixels(image.w2);
    return std::vector<uint32_t>(view.data, view.data + view.width * view.height);
  }
};

TEST_F(ImageMediaTest, PngSuiteThroughFilesAndBinaries) {
  if (!std::filesystem::exists(kPngSuite)) GTEST_SKIP() << "no PngSuite at " << kPngSuite;
  const std::set<std::string> unknown_signature = {"xs1n0g01", "xs2n0g01", "xs4n0g01"};
  for (const auto& entry : std::filesystem::directory_iterator(kPngSuite / "png")) {
    const std::string name = entry.path().filename().string();
    std::vector<uint8_t> bytes = read_bytes(entry.path());
    Cell* binary = binary_push_bytes(bytes);
    if (name[0] != 'x') {
      DecodedImage expected;
      ASSERT_TRUE(png_decode(bytes, expected)) << name;
      Cell from_file;
      image_from_file(from_file, file_cell(entry.path()));
      EXPECT_EQ(pixels_of(from_file), words_of(expected.pixels)) << name;
      Cell from_binary = *image_from_binary(*binary);
      EXPECT_EQ(pixels_of(from_binary), words_of(expected.pixels)) << name;
      EXPECT_EQ(image_cell_width(from_binary), expected.width) << name;
      value_stack_reset();
      continue;
    }
    EXPECT_EQ(image_load_from_memory(bytes), 0u) << name;
    const Cell file = file_cell(entry.path());
    Cell out;
    EXPECT_TRUE(raises_error(error_id("access", "cannot-open"), [&] { image_from_file(out, file); })) << name;
    EXPECT_EQ(cell_type(stand_in_last_error().args[0]), Type::file) << name;
    if (unknown_signature.count(name.substr(0, 8)))
      EXPECT_EQ(cell_type(*image_from_binary(*binary)), Type::none) << name;
    else
      EXPECT_TRUE(raises_error(error_id("access", "bad-media"), [&] { image_from_binary(*binary); })) << name;
    value_stack_reset();
  }
}

TEST_F(ImageMediaTest, AFileThatIsNoImageCannotOpen) {
  TemporaryFolder folder;
  write_bytes(folder.path() / "text.png", {'h', 'e', 'l', 'l', 'o'});
  Cell out;
  for (const char* name : {"text.png", "missing.png"}) {
    const Cell file = file_cell(folder.path() / name);
    EXPECT_TRUE(raises_error(error_id("access", "cannot-open"), [&] { image_from_file(out, file); })) << name;
  }
}

TEST_F(ImageMediaTest, EncodingAnswersBytesEmptyBytesOrNone) {
  Cell image;
  image_box(image, image_from_rgb_data(3, 2, {}, {}, ImageColour{1, 2, 3, 255}));
  Cell encoded = *image_encode_value(image, nullptr, static_cast<int32_t>(ImageFormat::png));
  DecodedImage back;
  ASSERT_TRUE(png_decode({binary_head_address(encoded), static_cast<size_t>(binary_length(encoded))}, back));
  EXPECT_EQ(words_of(back.pixels), std::vector<uint32_t>(6, 0xFF010203u));
  Cell empty;
  image_box(empty, 0);
  EXPECT_EQ(binary_length(*image_encode_value(empty, nullptr, static_cast<int32_t>(ImageFormat::gif))), 0);
  testing::internal::CaptureStdout();
  Cell none = *image_encode_value(image, nullptr, 5);
  console_flush();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot find image encoder\n");
  EXPECT_EQ(cell_type(none), Type::none);
}

TEST_F(ImageMediaTest, ADrawingLibraryWrapsThePremultipliedViewWithoutACopy) {
  const uint8_t rgb[] = {200, 100, 50, 10, 20, 30, 255, 255, 255, 0, 0, 0, 90, 80, 70};
  const uint8_t transparency[] = {127, 0, 255, 30, 200};
  NodeId record = image_from_rgb_data(5, 1, rgb, transparency, std::nullopt);
  ImageView view = image_premultiplied_view(record);
  cairo_surface_t* wrapped = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(view.data), CAIRO_FORMAT_ARGB32,
                                                                 static_cast<int>(view.width), static_cast<int>(view.height),
                                                                 static_cast<int>(view.stride));
  ASSERT_EQ(cairo_surface_status(wrapped), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(wrapped)), view.data);
  cairo_surface_t* fresh = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 5, 1);
  cairo_t* painter = cairo_create(fresh);
  cairo_set_operator(painter, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(painter, wrapped, 0, 0);
  cairo_paint(painter);
  cairo_surface_flush(fresh);
  const uint32_t* painted = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(fresh));
  for (int x = 0; x < 5; ++x) EXPECT_EQ(painted[x], view.data[x]) << x;
  cairo_destroy(painter);
  cairo_surface_destroy(fresh);
  cairo_surface_destroy(wrapped);
}

}  // namespace
}  // namespace qel
