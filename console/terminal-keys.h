// terminal-keys.h: the keys a terminal sends as bytes: text, control characters, Escape and the
// escape sequences of the cursor and editing keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qel {

enum class KeyName : uint8_t {
  text,     // a character (UTF-8 decoded; an ill-formed sequence is U+FFFD)
  control,  // a C0 control character or DEL, its byte in `code`
  escape,   // the Escape key: an ESC that nothing followed in time
  up,
  down,
  left,
  right,
  home,
  end,
  delete_forward,
  other,  // a sequence of a key nothing is bound to
};

struct Key {
  KeyName name;
  char32_t code = 0;
};

// Turns bytes into keys. An ESC starts a sequence ("ESC [ parameters final" or "ESC O letter");
// alone it is the Escape key, which only the reader can tell, by the time that passes: it calls
// escape_alone when no byte follows soon. ESC and another byte is a key with Alt held: `other`.
class KeyDecoder {
 public:
  // Takes the next byte and appends the keys it completes: none, one, or two when it broke a
  // UTF-8 sequence (the replacement character, then the byte's own key).
  void push(uint8_t byte, std::vector<Key>& keys);
  // Whether an ESC waits for what follows it.
  bool escape_waiting() const { return state_ == State::escape; }
  // No byte followed a waiting ESC: the Escape key.
  void escape_alone(std::vector<Key>& keys);

 private:
  enum class State : uint8_t { ground, escape, csi, ss3, utf8 };
  void push_ground(uint8_t byte, std::vector<Key>& keys);
  void push_utf8(uint8_t byte, std::vector<Key>& keys);
  void end_sequence(char final, std::vector<Key>& keys);

  State state_ = State::ground;
  std::string parameters_;  // of the escape sequence being read
  uint32_t utf8_state_ = 0;
  char32_t code_ = 0;  // the character being decoded
};

}  // namespace qel
