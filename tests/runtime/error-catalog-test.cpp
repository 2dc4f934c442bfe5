// error-catalog-test.cpp: the catalog's messages and how they read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/error-catalog.h"

namespace qel {
namespace {

// The message of a catalog id.
std::string_view message_of(ErrorId id) { return error_categories[id.category].ids[id.position - 2].message; }

// A message read back as pieces: texts quoted, fields as their number.
std::string read_back(std::string_view message) {
  MessageReader reader(message);
  std::string out;
  MessagePart part;
  while (reader.next(part)) {
    if (!out.empty()) out += ' ';
    out += part.field ? "#" + std::to_string(part.field) : "'" + std::string(part.text) + "'";
  }
  if (!reader.well_formed()) out += " <bad>";
  return out;
}

TEST(ErrorCatalog, EveryIdHasAWellFormedMessage) {
  for (const ErrorCategory& category : error_categories)
    for (const ErrorEntry& entry : category.ids) {
      EXPECT_FALSE(entry.message.empty()) << category.name << " " << entry.id;
      MessageReader reader(entry.message);
      MessagePart part;
      while (reader.next(part)) {
      }
      EXPECT_TRUE(reader.well_formed()) << category.name << " " << entry.id;
    }
}

TEST(ErrorCatalog, SpotRowsReadAsQuoted) {
  struct Row {
    ErrorId id;
    MessageShape shape;
    const char* pieces;
  };
  const Row rows[] = {
      {error_id("throw", "break"), MessageShape::text, "'no loop to break'"},
      {error_id("throw", "throw"), MessageShape::block, "'no catch for throw:' #1"},
      {error_id("syntax", "invalid"), MessageShape::block, "#1 'invalid' #2 'at' #3"},
      {error_id("script", "expect-arg"), MessageShape::block, "#1 'does not allow' #2 'for its' #3 'argument'"},
      {error_id("script", "bad-path-type"), MessageShape::block,
       "#3 'returned a' #2 'value, so' #1 'could not be accessed'"},
      {error_id("math", "zero-divide"), MessageShape::text, "'attempt to divide by zero'"},
      {error_id("access", "invalid-port"), MessageShape::block, "'invalid port object (invalid field values)'"},
      {error_id("user", "message"), MessageShape::field, "#1"},
      {error_id("internal", "deprecated"), MessageShape::block, "#1 'is DEPRECATED, please use' #2 'instead'"},
      {error_id("internal", "not-done"), MessageShape::text, "'reserved for future use (or not yet implemented)'"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MessageReader(message_of(row.id)).shape(), row.shape) << row.pieces;
    EXPECT_EQ(read_back(message_of(row.id)), row.pieces);
  }
}

TEST(ErrorCatalog, MalformedMessagesAreRefused) {
  EXPECT_EQ(read_back(R"(["text" arg4])"), "'text' <bad>");
  EXPECT_EQ(read_back(R"(["open)"), " <bad>");
}

}  // namespace
}  // namespace qel
