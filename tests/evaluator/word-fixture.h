// word-fixture.h: the start-up's datatypes with a word! that forms and molds as its spelling
// (the word family's own actions belong to the interpreter).
#pragma once

#include "tests/series/string-fixture.h"

namespace qel {

class WordActions : public StringActions {
 protected:
  void SetUp() override {
    StringActions::SetUp();
    register_datatype(Type::word, Type::symbol, "word!",
                      ActionRow()
                          .set<Act::Form>([](const Cell& word, Cell& buffer, bool, int32_t limit) {
                            return limit - spell_word(word, buffer);
                          })
                          .set<Act::Mold>([](const Cell& word, Cell& buffer, bool, bool, bool, bool, int32_t limit,
                                             int32_t) { return limit - spell_word(word, buffer); }));
  }

  // Appends the word's spelling; answers its length.
  static int32_t spell_word(const Cell& word, Cell& buffer) {
    std::string_view name = symbol_name(word.w2);
    series_append_ascii(buffer.w2, name);
    return static_cast<int32_t>(name.size());
  }
};

}  // namespace qel
