// The symbol table: interning, aliases, names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory-fixture.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/hash-table.h"
#include "runtime/murmur-hash.h"
#include "runtime/symbols.h"

namespace qel {
namespace {

using Symbols = MemoryTest;

TEST_F(Symbols, ExactAndUpToCaseInterning) {
  uint32_t foo_bar = symbol_intern_cstring("foo-Bar");
  uint32_t lower = symbol_intern_cstring("foo-bar");
  EXPECT_NE(lower, foo_bar);
  EXPECT_EQ(symbol_canonical(lower), foo_bar);
  EXPECT_EQ(symbol_canonical(foo_bar), foo_bar);
  EXPECT_EQ(symbol_alias(foo_bar), kNoAlias);
  EXPECT_EQ(symbol_intern_cstring_nocase("FOO-BAR"), foo_bar);
  uint32_t upper = symbol_intern_cstring("FOO-BAR");
  EXPECT_EQ(symbol_alias(upper), foo_bar);
  // Beyond ASCII names compare and hash byte for byte.
  uint32_t omega = symbol_intern_cstring("Ωmega");
  uint32_t small_omega = symbol_intern_cstring("ωmega");
  EXPECT_EQ(symbol_canonical(omega), omega);
  EXPECT_EQ(symbol_canonical(small_omega), small_omega);
  const uint32_t count = symbol_count();
  for (const char* name : {"foo-Bar", "foo-bar", "FOO-BAR", "Ωmega", "ωmega"})
    EXPECT_EQ(symbol_intern_cstring_nocase(name) != 0 && symbol_intern_cstring(name) != 0, true);
  EXPECT_EQ(symbol_count(), count);
  EXPECT_EQ(table_record(symbol_table()).count, symbol_count());
  EXPECT_EQ(symbol_name(upper), "FOO-BAR");
}

TEST_F(Symbols, ManyNamesKeepTheirIdsAcrossResizes) {
  std::vector<uint32_t> ids;
  for (int i = 0; i < 100000; ++i) ids.push_back(symbol_intern_bytes((i % 3 ? "Name-" : "name-") + std::to_string(i / 2)));
  EXPECT_GT(table_record(symbol_table()).buckets, 16384u);
  gc_safepoint();
  for (int i = 0; i < 100000; ++i) {
    std::string name = (i % 3 ? "Name-" : "name-") + std::to_string(i / 2);
    ASSERT_EQ(symbol_intern_bytes(name), ids[i]) << name;
    uint32_t canonical = symbol_canonical(ids[i]);
    ASSERT_EQ(symbol_canonical(canonical), canonical);
    ASSERT_EQ(symbol_intern_cstring_nocase(name.c_str()), canonical) << "the oldest spelling";
  }
  EXPECT_EQ(table_record(symbol_table()).count, symbol_count());
}

TEST_F(Symbols, NamesThatAreNotUtf8InternByteForByte) {
  const std::string names[] = {"\xFF\xFEx", "a\xC3", "\xED\xA0\x80", std::string("nul\0in", 6)};
  for (const std::string& name : names) {
    uint32_t id = symbol_intern_bytes(name);
    EXPECT_EQ(symbol_name(id), name);
    EXPECT_EQ(symbol_intern_bytes(name), id);
  }
  UnitText text = symbol_text(symbol_intern_bytes(names[0]));
  EXPECT_EQ(text.length, 3u);
  EXPECT_EQ(code_point_read(text.data, text.unit), 0xFFu);
}

TEST_F(Symbols, CStringEndsInAWholeZeroUnit) {
  struct Row {
    const char* name;
    unsigned unit;
  };
  const Row rows[] = {{"plain", 1}, {"Ω-16-units-long", 2}, {"sixteen-letters!", 1}, {"\xF0\x9F\x98\x80z", 4}};
  for (const Row& row : rows) {
    uint32_t id = symbol_intern_cstring(row.name);
    UnitText before = symbol_text(id);
    EXPECT_EQ(before.unit, row.unit) << row.name;
    const uint8_t* head = symbol_cstring(id);
    UnitText after = symbol_text(id);
    EXPECT_EQ(after.length, before.length) << row.name;
    for (unsigned byte = 0; byte < row.unit; ++byte) EXPECT_EQ(head[after.length * row.unit + byte], 0) << row.name;
  }
  // A name filling its decoded buffer exactly gets room for the zero.
  uint32_t id = symbol_intern_cstring("sixteen-letters!");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(symbol_cstring(id))), "sixteen-letters!");
}

TEST_F(Symbols, NameHashFoldsAsciiOnly) {
  for (const char* name : {"", "a", "AbC", "Hello-World!", "@[`{ZzAa", "ÀÉ"}) {
    std::string lowered = name;
    for (char& c : lowered)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    EXPECT_EQ(hash_name_folded(name), hash_bytes(lowered.data(), lowered.size())) << name;
  }
  EXPECT_NE(hash_name_folded("À"), hash_name_folded("à"));
  EXPECT_TRUE(symbol_name_equal("Foo", "fOO", true));
  EXPECT_FALSE(symbol_name_equal("Foo", "fOO", false));
  EXPECT_FALSE(symbol_name_equal("À", "à", true));
}

// Names of every length up to 19 (so every tail and block split): the hash is hash-bytes of the
// lowered name, and a name differs from one with any single byte changed, with or without case.
TEST_F(Symbols, NamesOfEveryLengthHashAndCompareWhole) {
  const std::string base = "Mixed-Case_Name-Xyz";
  for (size_t length = 0; length <= base.size(); ++length) {
    std::string name = base.substr(0, length);
    std::string lowered = name;
    for (char& c : lowered)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    EXPECT_EQ(hash_name_folded(name), hash_bytes(lowered.data(), lowered.size())) << name;
    EXPECT_TRUE(symbol_name_equal(name, lowered, true)) << name;
    EXPECT_EQ(symbol_name_equal(name, lowered, false), name == lowered) << name;
    for (size_t at = 0; at < length; ++at) {
      std::string changed = name;
      changed[at] = '#';
      EXPECT_FALSE(symbol_name_equal(name, changed, true)) << name << " at " << at;
      EXPECT_FALSE(symbol_name_equal(name, changed, false)) << name << " at " << at;
    }
  }
}

TEST_F(Symbols, CompareAsTextFoldingUnlessStrict) {
  Cell a = *symbol_cell(symbol_intern_cstring("apple"));
  Cell b = *symbol_cell(symbol_intern_cstring("APPLE"));
  Cell c = *symbol_cell(symbol_intern_cstring("banana"));
  EXPECT_EQ(symbol_compare(a, b, 0), 0);
  EXPECT_NE(symbol_compare(a, b, 2), 0);
  EXPECT_EQ(symbol_compare(a, c, 3), -1);
  EXPECT_EQ(symbol_compare(c, b, 7), 1);
}

TEST_F(Symbols, SymbolAndContextRegisterAsDatatypes) {
  datatype_tables_init();
  register_symbol_datatype();
  register_context_datatype();
  for (size_t slot = 0; slot < kActionSlots; ++slot) {
    ActionFn symbol_fn = action_table[type_index(Type::symbol)][slot];
    EXPECT_EQ(symbol_fn != nullptr, slot == slot_index(Act::Compare)) << slot;
    EXPECT_EQ(action_table[type_index(Type::context)][slot], nullptr) << slot;
  }
  EXPECT_STREQ(datatype_table[type_index(Type::symbol)].name, "symbol!");
  EXPECT_STREQ(datatype_table[type_index(Type::context)].name, "context!");
  datatype_tables_init();
}

}  // namespace
}  // namespace qel
