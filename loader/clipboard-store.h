// clipboard-store.h: the clipboard of a process with no display: one item, in the forms a system
// clipboard holds it, kept for the life of the process. It always opens and accepts every kind.
#pragma once

#include "loader/clipboard-back-end.h"

namespace qel {

class ClipboardStore : public ClipboardBackEnd {
 public:
  bool open() override { return true; }
  void close() override {}
  bool offers(ClipKind kind) override;
  bool read(ClipKind kind, ClipContents& out) override;
  bool write(const ClipContents& contents) override;
  // What it holds (tests look at the bytes).
  const ClipContents& held() const { return held_; }

 private:
  ClipContents held_;
};

}  // namespace qel
