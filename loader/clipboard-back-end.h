// clipboard-back-end.h: what the clipboard procedures need of a clipboard, whatever holds it: an
// item offered in several kinds at once (text, a file list, an image), read one kind at a time.
//
// With no display open the back end is the in-process store (clipboard-store.h); the GUI back end
// installs the system clipboard behind the same interface, and nothing above it changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qel {

// The kinds, in the order a read prefers them.
enum class ClipKind : uint8_t { text, files, image };

// An item in the forms a system clipboard holds: text as UTF-8 (LF line ends), files as OS
// paths, an image as PNG bytes. A kind that is absent is not offered.
struct ClipContents {
  std::optional<std::string> text;
  std::optional<std::vector<std::string>> files;
  std::optional<std::vector<uint8_t>> png;
};

class ClipboardBackEnd {
 public:
  virtual ~ClipboardBackEnd() = default;
  // Takes the clipboard for one read or write; false when it cannot be had.
  virtual bool open() = 0;
  virtual void close() = 0;
  // While open: whether the kind is offered, and its data into that kind's field of `out`
  // (false when the offered data cannot be read, or is malformed).
  virtual bool offers(ClipKind kind) = 0;
  virtual bool read(ClipKind kind, ClipContents& out) = 0;
  // While open: empties the clipboard and puts every kind the contents hold; whether every
  // kind was accepted (nothing to put counts as accepted).
  virtual bool write(const ClipContents& contents) = 0;
};

// The back end in use: the in-process store until another is installed.
ClipboardBackEnd& clipboard_back_end();
// Installs a back end (null: the in-process store again); answers the one it replaces.
ClipboardBackEnd* set_clipboard_back_end(ClipboardBackEnd* back_end);

// Holds the back end open for a scope.
class ClipboardOpen {
 public:
  explicit ClipboardOpen(ClipboardBackEnd& back_end) : back_end_(back_end), open_(back_end.open()) {}
  ~ClipboardOpen() {
    if (open_) back_end_.close();
  }
  ClipboardOpen(const ClipboardOpen&) = delete;
  ClipboardOpen& operator=(const ClipboardOpen&) = delete;
  explicit operator bool() const { return open_; }

 private:
  ClipboardBackEnd& back_end_;
  bool open_;
};

}  // namespace qel
