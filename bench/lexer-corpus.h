// lexer-corpus.h (bench): a seeded generator of source text for the lexer benchmarks: one tree
// of values rendered as Qel, as JSON and as Python source, so every reader parses the same data.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace qel::bench {

// The three renderings of one tree of values.
struct Corpus {
  std::string qel;
  std::string json;
  std::string python;
};

// Appends random values to all three renderings until the Qel text reaches `bytes`: words
// (strings in JSON and Python), integers, decimals, quoted strings, comments (Qel and Python
// only) and nested blocks (lists), with line breaks every few values. The generator draws raw
// 32-bit outputs of a fixed-seed Mersenne Twister, so the text is the same on every system.
class CorpusWriter {
 public:
  explicit CorpusWriter(uint32_t seed) : random_(seed) {}

  Corpus write(size_t bytes) {
    Corpus corpus;
    open(corpus);
    while (corpus.qel.size() < bytes) value(corpus, 0);
    close(corpus);
    return corpus;
  }

 private:
  static constexpr const char* kWords[] = {"print", "either", "value", "block", "foreach", "x", "length?",
                                           "append", "copy", "if", "data", "result", "make", "to-string"};

  uint32_t pick(uint32_t n) { return random_() % n; }

  void open(Corpus& corpus) {
    corpus.qel += "[";
    corpus.json += "[";
    corpus.python += "[";
    first_ = true;
  }

  void close(Corpus& corpus) {
    corpus.qel += "]";
    corpus.json += "]";
    corpus.python += "]";
    first_ = false;
  }

  // The separator before a value: a blank, or now and then a line break.
  void separate(Corpus& corpus) {
    bool line = pick(8) == 0;
    if (!first_) {
      corpus.json += ",";
      corpus.python += ",";
    }
    corpus.qel += line ? "\n    " : " ";
    corpus.json += line ? "\n    " : " ";
    corpus.python += line ? "\n    " : " ";
    first_ = false;
  }

  void value(Corpus& corpus, int depth) {
    uint32_t kind = pick(16);
    if (kind == 0 && depth < 4) {
      separate(corpus);
      open(corpus);
      for (uint32_t n = 2 + pick(8); n > 0; --n) value(corpus, depth + 1);
      close(corpus);
      return;
    }
    if (kind == 1) {  // a comment: Qel and Python only
      corpus.qel += " ; a remark on the values\n";
      corpus.python += " # a remark on the values\n";
      return;
    }
    separate(corpus);
    if (kind < 7) {
      std::string word = kWords[pick(std::size(kWords))];
      corpus.qel += word;
      corpus.json += "\"" + word + "\"";
      corpus.python += "'" + word + "'";
    } else if (kind < 11) {
      std::string number = std::to_string(static_cast<int32_t>(pick(2000000)) - 1000000);
      corpus.qel += number;
      corpus.json += number;
      corpus.python += number;
    } else if (kind < 13) {
      std::string number = std::to_string(pick(100000)) + "." + std::to_string(pick(1000));
      corpus.qel += number;
      corpus.json += number;
      corpus.python += number;
    } else {
      std::string text = "text number " + std::to_string(pick(100000)) + " of the corpus";
      corpus.qel += "\"" + text + "\"";
      corpus.json += "\"" + text + "\"";
      corpus.python += "'" + text + "'";
    }
  }

  std::mt19937 random_;
  bool first_ = true;
};

}  // namespace qel::bench
