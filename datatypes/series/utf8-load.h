// utf8-load.h: loading UTF-8 bytes as code points in the narrowest text unit.
//
// A load runs in two passes over the same bytes, so a target is touched only once the whole
// input is known to be good and its size and unit are known: utf8_scan checks and measures,
// utf8_load_units writes. The string layer wraps them: it sizes or widens the target buffer to
// the scanned unit (or its own, when wider), raises invalid-utf8 for an ill-formed scan, and
// reports the remainder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qel {

// What a scan found.
struct Utf8Scan {
  size_t begin = 0;        // first byte to decode: 3 after a byte-order mark EF BB BF, else 0
  size_t end = 0;          // byte after the last whole sequence; the ill-formed one starts here
  size_t remainder = 0;    // bytes of a sequence cut short by the end of the input
  size_t code_points = 0;  // units the loaded text takes
  unsigned unit = 1;       // the narrowest unit that holds every code point: 1, 2 or 4
  bool ill_formed = false;
};

// Checks and measures bytes for loading. With crlf, a CR followed by a LF is dropped and any
// other CR is read as LF. A sequence cut short by the end stops the scan (its bytes are the
// remainder); an ill-formed one stops it with ill_formed set. Well-formed means what the
// checked decoder accepts. A leading byte-order mark is skipped unless keep_bom (text appended
// to a string keeps its U+FEFF).
Utf8Scan utf8_scan(std::span<const uint8_t> bytes, bool crlf, bool keep_bom = false);

// Writes the code points of [scan.begin, scan.end) of a scan that is not ill-formed at out, in
// units of `unit` bytes (at least scan.unit), scan.code_points of them.
void utf8_load_units(std::span<const uint8_t> bytes, const Utf8Scan& scan, bool crlf, uint8_t* out, unsigned unit);

}  // namespace qel
