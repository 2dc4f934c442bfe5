// peer-streams.h: the streams tests/loader/deflate-streams.py makes with Python's zlib and gzip
// modules, read once per test program, and the hex helpers the compression tests share.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace qel {

using Bytes = std::vector<uint8_t>;

// "-" stands for no bytes, since an empty field cannot be read back from a line.
inline Bytes from_hex(const std::string& hex) {
  Bytes bytes;
  if (hex == "-") return bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

inline std::string to_hex(const Bytes& bytes) {
  if (bytes.empty()) return "-";
  std::string hex;
  for (uint8_t byte : bytes) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 15];
  }
  return hex;
}

// All of a command's standard output.
inline std::string command_output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return text;
  char chunk[65536];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
  pclose(pipe);
  return text;
}

struct PeerStream {
  std::string format;  // deflate, zlib or gzip
  std::string label;   // <corpus entry>/<how it was made>
  Bytes original;
  Bytes stream;
};

inline const std::vector<PeerStream>& peer_streams() {
  static const std::vector<PeerStream> streams = [] {
    std::vector<PeerStream> made;
    std::istringstream lines(command_output("/usr/bin/python3 " QEL_SOURCE_DIR "/tests/loader/deflate-streams.py"));
    std::string format, label, original, stream;
    while (lines >> format >> label >> original >> stream)
      made.push_back({format, label, from_hex(original), from_hex(stream)});
    return made;
  }();
  return streams;
}

}  // namespace qel
