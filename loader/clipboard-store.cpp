// clipboard-store.cpp: the in-process clipboard, and the choice of back end.
#include "loader/clipboard-store.h"

namespace qel {

bool ClipboardStore::offers(ClipKind kind) {
  switch (kind) {
    case ClipKind::text: return held_.text.has_value();
    case ClipKind::files: return held_.files.has_value();
    case ClipKind::image: return held_.png.has_value();
  }
  return false;
}

bool ClipboardStore::read(ClipKind kind, ClipContents& out) {
  switch (kind) {
    case ClipKind::text: out.text = held_.text; break;
    case ClipKind::files: out.files = held_.files; break;
    case ClipKind::image: out.png = held_.png; break;
  }
  return offers(kind);
}

bool ClipboardStore::write(const ClipContents& contents) {
  held_ = contents;
  return true;
}

namespace {

ClipboardStore process_store;
ClipboardBackEnd* installed = &process_store;

}  // namespace

ClipboardBackEnd& clipboard_back_end() { return *installed; }

ClipboardBackEnd* set_clipboard_back_end(ClipboardBackEnd* back_end) {
  ClipboardBackEnd* previous = installed;
  installed = back_end ? back_end : &process_store;
  return previous;
}

}  // namespace qel
