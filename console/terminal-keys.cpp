// terminal-keys.cpp: decoding a terminal's bytes into keys.
#include "console/terminal-keys.h"

#include <string_view>

#include "datatypes/series/utf8-decode.h"
#include "runtime/utf8.h"

namespace qel {

namespace {

constexpr uint8_t kEscapeByte = 27;

// The key of a sequence's final byte, after "ESC [" or "ESC O".
struct FinalKey {
  char final;
  KeyName name;
};
constexpr FinalKey kFinalKeys[] = {
    {'A', KeyName::up},   {'B', KeyName::down}, {'C', KeyName::right},
    {'D', KeyName::left}, {'H', KeyName::home}, {'F', KeyName::end},
};

// The key of "ESC [ number ~" by its number (the editing keypad).
struct NumberKey {
  std::string_view number;
  KeyName name;
};
constexpr NumberKey kNumberKeys[] = {
    {"1", KeyName::home}, {"7", KeyName::home}, {"4", KeyName::end}, {"8", KeyName::end}, {"3", KeyName::delete_forward},
};

// The key of a whole sequence; modifiers (";5" and the like) change none of them.
KeyName sequence_key(char final, std::string_view parameters) {
  const std::string_view number = parameters.substr(0, parameters.find(';'));
  if (final == '~') {
    for (const NumberKey& row : kNumberKeys)
      if (row.number == number) return row.name;
    return KeyName::other;
  }
  for (const FinalKey& row : kFinalKeys)
    if (row.final == final) return row.name;
  return KeyName::other;
}

}  // namespace

void KeyDecoder::push(uint8_t byte, std::vector<Key>& keys) {
  switch (state_) {
    case State::ground:
      push_ground(byte, keys);
      return;
    case State::escape:
      if (byte == '[' || byte == 'O') {
        state_ = byte == '[' ? State::csi : State::ss3;
        parameters_.clear();
      } else {
        state_ = State::ground;  // Alt with a key: nothing is bound to it
        keys.push_back({KeyName::other});
      }
      return;
    case State::csi:
      if (byte >= 0x20 && byte <= 0x3F) {
        parameters_ += static_cast<char>(byte);
        return;
      }
      end_sequence(static_cast<char>(byte), keys);
      return;
    case State::ss3:
      end_sequence(static_cast<char>(byte), keys);
      return;
    case State::utf8:
      push_utf8(byte, keys);
      return;
  }
}

void KeyDecoder::escape_alone(std::vector<Key>& keys) {
  if (state_ != State::escape) return;
  state_ = State::ground;
  keys.push_back({KeyName::escape});
}

void KeyDecoder::push_ground(uint8_t byte, std::vector<Key>& keys) {
  if (byte == kEscapeByte) {
    state_ = State::escape;
  } else if (byte < 0x20 || byte == 0x7F) {
    keys.push_back({KeyName::control, byte});
  } else if (byte < 0x80) {
    keys.push_back({KeyName::text, byte});
  } else {
    state_ = State::utf8;
    utf8_state_ = kUtf8Accept;
    code_ = 0;
    push_utf8(byte, keys);
  }
}

// One byte through the UTF-8 automaton. A byte that breaks a sequence begun before gives the
// replacement character and is then read afresh: it may start the next key.
void KeyDecoder::push_utf8(uint8_t byte, std::vector<Key>& keys) {
  const bool first = utf8_state_ == kUtf8Accept;
  code_ = first ? (0xFFu >> kUtf8Dfa[byte]) & byte : (byte & 0x3Fu) | code_ << 6;
  utf8_state_ = utf8_next_state(utf8_state_, byte);
  if (utf8_state_ == kUtf8Accept) {
    state_ = State::ground;
    keys.push_back({KeyName::text, code_});
  } else if (utf8_state_ == kUtf8Reject) {
    state_ = State::ground;
    keys.push_back({KeyName::text, kReplacementCharacter});
    if (!first) push_ground(byte, keys);
  }
}

// A byte that can end no sequence (a control character) ends it as a key of nothing.
void KeyDecoder::end_sequence(char final, std::vector<Key>& keys) {
  state_ = State::ground;
  const bool ends = final >= 0x40 && final <= 0x7E;
  keys.push_back({ends ? sequence_key(final, parameters_) : KeyName::other});
}

}  // namespace qel
