// qelbin-routines-test.cpp: the codec's routines called as the library calls them: encode in
// either variant, decode of one or several root values, of files, and of what is no image.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "evaluator/library-routines.h"
#include "loader/qelbin/qelbin-routines.h"
#include "qelbin-fixture.h"

namespace qel::testing {
namespace {

class QelbinRoutinesTest : public QelbinTest {
 protected:
  void SetUp() override {
    QelbinTest::SetUp();
    register_qelbin_routines();
    define("encode*", routine_value_build(load("data [any-type!] compact? [logic!]"), make_cell(Type::none),
                                          *find_routine("qelbin-encode*"), kReturnNothing, false));
    define("decode", routine_value_build(load("payload [any-type!]"), make_cell(Type::none),
                                         *find_routine("qelbin-decode"), kReturnNothing, false));
  }
};

TEST_F(QelbinRoutinesTest, TheLibraryFindsTheCodecRoutinesByTheirEntryNames) {
  reset_routines();
  register_library_routines();
  EXPECT_TRUE(find_routine("qelbin-encode*").has_value());
  EXPECT_TRUE(find_routine("qelbin-decode").has_value());
}

TEST_F(QelbinRoutinesTest, DecodingAnEncodedValueGivesTheValueItself) {
  expect_molds({{"decode encode* 42 true", "42"},
                {"decode encode* [1 \"two\" [3]] true", "[1 \"two\" [3]]"},
                {"decode encode* [1 \"two\" [3]] false", "[1 \"two\" [3]]"},
                {"pick encode* 1 false 8", "0"},  // the record variant's flags byte
                {"pick encode* 1 true 8", "1"}});
}

TEST_F(QelbinRoutinesTest, SeveralRootRecordsDecodeToABlock) {
  define("several", binary_cell(unhex("51454C42494E020102038182C3")));
  expect_molds({{"decode several", "[1 2 false]"}});
}

TEST_F(QelbinRoutinesTest, WhatIsNoImageIsInvalidData) {
  define("ten-bytes", eval_text("#{51454C42494E02010101}"));
  define("wrong-magic", eval_text("#{71656C62696E0201010180}"));
  define("bad-record", eval_text("#{51454C42494E020101038181C5}"));
  define("text", eval_text("\"QELBIN image text\""));
  expect_errors({{"decode ten-bytes", "script/invalid-data", {"#{51454C42494E02010101}"}},
                 {"decode wrong-magic", "script/invalid-data", {"#{71656C62696E0201010180}"}},
                 {"decode 12", "script/invalid-data", {"12"}},
                 {"decode text", "script/invalid-data", {"\"QELBIN image text\""}},
                 {"decode bad-record", "script/rb-invalid-record", {"13"}}});
  EXPECT_ERROR(run("encode* :encode* true"), "access", "no-codec");
}

TEST_F(QelbinRoutinesTest, AFilePayloadIsReadAsBinary) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("qelbin-routine-" + std::to_string(getpid()) + ".qelbin");
  const std::vector<uint8_t> image = unhex("51454C42494E020101030BC801");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  define("image-file", eval_text("%" + path.string()));
  expect_molds({{"decode image-file", "100"}});
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace qel::testing
