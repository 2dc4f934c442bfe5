// qelbin.h: the serialized-value format's entries: decoding an image of either variant into a
// block, encoding a value into an image of either variant, and the literal table that decoding
// the boot image leaves in the root block.
//
// An image is "QELBIN", a version byte, a flags byte (bit 0 compact, bit 1 compressed, bit 2
// symbol table) and the variant's header and records. In codec mode (data given to the codec)
// every failure is a catchable error; decoding the boot image (normal mode) also reads
// definitions and words bound to earlier context literals.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "runtime/cell.h"

namespace qel {

// qelbin-decode: decodes the image's records into the parent block. In codec mode a bad header
// raises script invalid-data with `given` (what the codec was handed); a bad record script
// rb-invalid-record; in normal mode a bad magic or compressed data prints the start-up message
// and ends the process with runtime error 98. Runs with collection held off.
void qelbin_decode(std::span<const uint8_t> image, const Cell& parent, bool codec_mode, const Cell& given);

// qelbin-decode-boot: decodes the program's boot image (normal mode) into the root block, every
// series it makes flagged as library code; a null image decodes nothing. A bad magic or bad
// compressed data ends the process as qelbin_decode says.
void qelbin_decode_boot(const uint8_t* image, size_t size);
// How long the last boot decoding took.
std::chrono::duration<double, std::milli> qelbin_boot_decode_time();

// qelbin-encode-compact and qelbin-encode: a new binary! holding a compact or a record-variant
// image of the value. Values no record describes (routine!, handle!, port! ...) raise access
// no-codec with the value.
Cell qelbin_encode_compact(const Cell& value);
Cell qelbin_encode_records(const Cell& value);

// The boot image: a compact image of version 1 with a symbol table (flags 5), uncompressed: a
// definition for each set-word, value pair of the definitions block (they leave no literal),
// then one top-level record per module block, the block count as its roots. Words bound to
// the global context or to none are written plain, as the lexer makes them.
std::vector<uint8_t> qelbin_encode_boot_image(const Cell& definitions, std::span<const Cell> modules);

// The literal table: literal n is the n-th cell the boot image's records left in the root block.
// literal-slot-address and literal-slot-payload, as accessors by index.
Cell* literal_slot(uint32_t n);
uint32_t literal_slot_payload(uint32_t n);
// Where the literal table starts in the block the last normal-mode decoding filled (the root
// block at start-up).
uint32_t literal_base();
// How many literals that decoding left.
uint32_t literal_count();

}  // namespace qel
