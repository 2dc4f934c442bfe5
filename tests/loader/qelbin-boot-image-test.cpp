// qelbin-boot-image-test.cpp: the boot image: what the generator writes for modules, the image
// linked into the program, and a damaged image at start-up.
#include <unistd.h>

#include "evaluator/boot-source.h"
#include "evaluator/library-code.h"
#include "evaluator/native.h"
#include "evaluator/spec-table.h"
#include "runtime/actions.h"
#include "qelbin-fixture.h"

namespace qel::testing {
namespace {

// Version 1, flags 5 (compact, symbol table), then the roots field: the module count.
void expect_boot_header(const uint8_t* image, size_t modules) {
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image), 6), "QELBIN");
  EXPECT_EQ(image[6], 1);
  EXPECT_EQ(image[7], 5);
  EXPECT_EQ(image[8], modules);
}

TEST_F(QelbinTest, ModulesBecomeOneBlockLiteralEachAndTheirWordsStayPlain) {
  static constexpr BootModule kModules[] = {{"test/a.qel", "probe-b3: 42\n"}, {"test/b.qel", "twice: func [x] [x + x]"}};
  const std::vector<uint8_t> image = boot_image_from_sources(kModules);
  expect_boot_header(image.data(), 2);
  boot_modules(kModules);
  expect_molds({{"probe-b3", "42"}, {"twice 4", "8"}});
  EXPECT_EQ(literal_count(), 2u);
  EXPECT_EQ(mold(*literal_slot(0)), "[probe-b3: 42]");
  // Decoded, the modules encode to the same bytes.
  GcRoot<Cell> definitions(language_definitions());
  EXPECT_EQ(hex(qelbin_encode_boot_image(*definitions, {literal_slot(0), 2})), hex(image));
}

TEST_F(QelbinTest, TheLinkedImageHoldsTheManifestsModules) {
  expect_boot_header(qel_boot_image, qel_boot_module_paths.size());
  EXPECT_EQ(reinterpret_cast<uintptr_t>(qel_boot_image) % 16, 0u);
  EXPECT_EQ(literal_count(), qel_boot_module_paths.size());
  for (uint32_t n = 0; n < literal_count(); ++n) {
    EXPECT_EQ(cell_type(*literal_slot(n)), Type::block);
    EXPECT_TRUE(is_library_code(literal_slot(n)->w2)) << qel_boot_module_paths[n];
  }
}

TEST_F(QelbinTest, NativeAndActionWordsHaveTheImageAsTheirOneWriter) {
  GcRoot<Cell> definitions(language_definitions());
  const Cell* pairs = series_buffer(definitions->w2)->head_cell();
  const uint32_t length = series_buffer_length(definitions->w2);
  ASSERT_GT(length, 2 * 100u);
  for (uint32_t i = 0; i < length; i += 2) {
    const std::string name(symbol_name(pairs[i].w2));
    const Cell value = value_of(name);
    EXPECT_EQ(cell_type(value), cell_type(pairs[i + 1])) << name;
    EXPECT_EQ(value.w1, pairs[i + 1].w1) << name;
    EXPECT_EQ(mold(make_cell(Type::block, 0, value.w2)), mold(make_cell(Type::block, 0, pairs[i + 1].w2))) << name;
  }
  const Cell append = canonical_value(Type::action, static_cast<uint32_t>(slot_number(Act::Append)));
  EXPECT_EQ(eval_mold("reflect :append 'spec"), mold(make_cell(Type::block, 0, append.w2)));
  // The start-up's own values leave the words alone; the image sets them.
  run("unset 'append");
  define_language_values();
  expect_molds({{"value? 'append", "false"}});
  decode_linked_boot_image();
  expect_molds({{"type? :append", "action!"}});
}

// The start-up message goes to standard output: the death tests see it on the error stream.
void decode_at_start_up(std::vector<uint8_t> image) {
  dup2(2, 1);
  services().qelbin_decode_boot(image.data(), image.size());
}

TEST_F(QelbinTest, ADamagedBootImageEndsTheProcessWithRuntimeError98) {
  std::vector<uint8_t> magic(qel_boot_image, qel_boot_image + qel_boot_image_size);
  magic[0] = 'q';
  EXPECT_EXIT(decode_at_start_up(magic), ::testing::ExitedWithCode(98),
              "Error: Not a Qelbin file!.*\\*\\*\\* Runtime Error 98");
  EXPECT_EXIT(decode_at_start_up(unhex("51454C42494E02030A0000000500000004000000020C58802C00")),
              ::testing::ExitedWithCode(98), "Error: Qelbin compressed data corrupted!.*\\*\\*\\* Runtime Error 98");
}

}  // namespace
}  // namespace qel::testing
