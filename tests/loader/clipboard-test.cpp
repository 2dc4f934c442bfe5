// clipboard-test.cpp: the clipboard procedures on the in-process store and on a back end that
// cannot be opened: what each value puts, what reads back, and what is refused untouched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/series/binary.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/image-codecs/image-codecs.h"
#include "datatypes/series/image-store.h"
#include "datatypes/series/image.h"
#include "datatypes/series/url.h"
#include "loader/clipboard-store.h"
#include "loader/clipboard.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

class ClipboardTest : public StringActions {
 protected:
  void SetUp() override {
    StringActions::SetUp();
    image_store_init();
    set_clipboard_back_end(&store_);
  }
  void TearDown() override {
    set_clipboard_back_end(nullptr);
    StringActions::TearDown();
  }
  ClipboardStore store_;
};

Cell file_value(std::string_view name) { return file_from_os_name(name); }

// Text goes out as UTF-8 with LF and comes back with every CR dropped.
TEST_F(ClipboardTest, TextRoundTripsWithLineFeeds) {
  EXPECT_TRUE(clipboard_write(text_value("a\nb")));
  EXPECT_EQ(store_.held().text, "a\nb");
  EXPECT_EQ(utf8_of(clipboard_read()), "a\nb");
  EXPECT_TRUE(clipboard_write(text_value("x\r\ny")));
  EXPECT_EQ(utf8_of(clipboard_read()), "x\ny");
  EXPECT_TRUE(clipboard_write(at(text_value("skip"), 2)));
  EXPECT_EQ(utf8_of(clipboard_read()), "ip");
}

// Text another program left that is no UTF-8 reads with U+FFFD, never failing.
TEST_F(ClipboardTest, IllFormedTextReadsAsReplacement) {
  store_.write({std::string("a\xFF\r\nb"), std::nullopt, std::nullopt});
  EXPECT_EQ(utf8_of(clipboard_read()), "a\xEF\xBF\xBD\nb");
}

// File lists keep relative names relative and name bytes that are no UTF-8; an empty list is
// still a list.
TEST_F(ClipboardTest, FileListsRoundTrip) {
  Cell files = block_of({file_value("rel/a.txt"), file_value("/abs/b.txt"), file_value("odd\xFF")});
  EXPECT_TRUE(clipboard_write(files));
  EXPECT_EQ(store_.held().files, (std::vector<std::string>{"rel/a.txt", "/abs/b.txt", "odd\xFF"}));
  Cell read = clipboard_read();
  ASSERT_EQ(cell_type(read), Type::block);
  ASSERT_EQ(block_length(read), 3);
  EXPECT_EQ(cell_type(*block_cell_at(read, 0)), Type::file);
  EXPECT_EQ(utf8_of(*block_cell_at(read, 0)), "rel/a.txt");
  EXPECT_EQ(utf8_of(*block_cell_at(read, 1)), "/abs/b.txt");
  EXPECT_EQ(string_char_at(*block_cell_at(read, 2), 3), kNameByteBase + 0xFF);

  EXPECT_TRUE(clipboard_write(block_of({})));
  read = clipboard_read();
  ASSERT_EQ(cell_type(read), Type::block);
  EXPECT_EQ(block_length(read), 0);
}

// A fresh clipboard, and one emptied by none, read none; text wins over a file list.
TEST_F(ClipboardTest, EmptyReadsNoneAndTextComesFirst) {
  EXPECT_EQ(cell_type(clipboard_read()), Type::none);
  store_.write({std::string("t"), std::vector<std::string>{"f"}, std::nullopt});
  EXPECT_EQ(utf8_of(clipboard_read()), "t");
  EXPECT_TRUE(clipboard_write(make_cell(Type::none)));
  EXPECT_EQ(cell_type(clipboard_read()), Type::none);
}

// What cannot go on the clipboard is refused before it is touched.
TEST_F(ClipboardTest, RefusedValuesLeaveTheClipboardAsItWas) {
  ASSERT_TRUE(clipboard_write(text_value("kept")));
  Cell binary = *binary_push_bytes(std::vector<uint8_t>{0});
  stack_drop(1);
  Cell nul_name = make_cell(Type::file, 0, text_value(std::string("a\0b", 3)).w2);
  const Cell refused[] = {block_of({file_value("a.txt"), int_cell(5)}), binary, int_cell(1),
                          block_of({text_value("a.txt")}), block_of({file_value("b.txt"), nul_name})};
  for (const Cell& value : refused) {
    StandInError error = raised_error([&] { clipboard_write(value); });
    EXPECT_EQ(error.id, error_id("script", "invalid-arg"));
  }
  EXPECT_EQ(store_.held().text, "kept");
  EXPECT_FALSE(store_.held().files.has_value());
}

std::vector<uint32_t> pixels_of(const Cell& image) {
  ImageView view = image_pixels(image.w2);
  return std::vector<uint32_t>(view.data, view.data + view.width * view.height);
}

// An image goes out as PNG and reads back equal, translucent pixels included; an image with no
// area empties the clipboard.
TEST_F(ClipboardTest, ImagesRoundTripAsPng) {
  const std::vector<uint32_t> pixels = {0xFF102030, 0x80405060, 0x00000000,
                                        0xFFFFFFFF, 0x01FF0000, 0x7F00FF00};
  Cell image;
  image_box(image, image_from_memory(3, 2, 0, pixels.data()));
  ASSERT_TRUE(clipboard_write(image));
  ASSERT_TRUE(store_.held().png.has_value());
  DecodedImage decoded;
  ASSERT_TRUE(png_decode(*store_.held().png, decoded));
  EXPECT_EQ(decoded.width, 3);
  EXPECT_EQ(decoded.height, 2);
  EXPECT_EQ(std::vector<uint32_t>(decoded.pixels.begin(), decoded.pixels.end()), pixels);
  Cell read = clipboard_read();
  ASSERT_EQ(cell_type(read), Type::image);
  EXPECT_EQ(image_cell_width(read), 3);
  EXPECT_EQ(image_cell_height(read), 2);
  EXPECT_EQ(pixels_of(read), pixels);

  Cell empty;
  ASSERT_TRUE(clipboard_write(*image_box(empty, 0)));
  EXPECT_FALSE(store_.held().png.has_value());
  EXPECT_EQ(cell_type(clipboard_read()), Type::none);
}

// PNG bytes another program left that do not decode, or state a size past the image caps, read
// as none.
TEST_F(ClipboardTest, UndecodableImagesReadNone) {
  // 60000 x 60000 RGBA, a well-formed header with its checksum and no pixel data.
  const std::vector<uint8_t> huge = {0x89, 'P',  'N',  'G',  '\r', '\n', 0x1A, '\n', 0,    0,    0,    13,
                                     'I',  'H',  'D',  'R',  0,    0,    0xEA, 0x60, 0,    0,    0xEA, 0x60,
                                     8,    6,    0,    0,    0,    0x80, 0xD2, 0x75, 0x42};
  const std::vector<uint8_t> malformed[] = {{1, 2, 3}, {0x89, 'P', 'N', 'G'}, huge};
  for (const std::vector<uint8_t>& bytes : malformed) {
    store_.write({std::nullopt, std::nullopt, bytes});
    EXPECT_EQ(cell_type(clipboard_read()), Type::none);
  }
}

// A clipboard that cannot be had answers false both ways.
TEST_F(ClipboardTest, AClipboardThatWillNotOpenAnswersFalse) {
  struct Held : ClipboardStore {
    bool open() override { return false; }
  } held;
  set_clipboard_back_end(&held);
  Cell read = clipboard_read();
  EXPECT_EQ(cell_type(read), Type::logic);
  EXPECT_FALSE(read.w1);
  EXPECT_FALSE(clipboard_write(text_value("x")));
  EXPECT_FALSE(held.held().text.has_value());
}

}  // namespace
}  // namespace qel
