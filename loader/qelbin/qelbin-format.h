// qelbin-format.h: the constants of the serialized-value format that both variants share: the
// header, its flags, the compact variant's prefix and short type bytes, and the limits.
#pragma once

#include <cstdint>
#include <string_view>

namespace qel {

// "QELBIN", one version byte, one flags byte.
inline constexpr std::string_view kQelbinMagic = "QELBIN";
inline constexpr uint32_t kQelbinFlagsOffset = 7;
inline constexpr uint8_t kQelbinVersion = 2;
inline constexpr uint8_t kQelbinBootVersion = 1;  // the boot image's

inline constexpr uint8_t kFlagCompact = 1;     // else the record variant
inline constexpr uint8_t kFlagCompressed = 2;  // the bytes after the flags are one compressed stream
inline constexpr uint8_t kFlagSymbols = 4;     // a symbol table precedes the records

// Compact variant: prefix bytes before a type byte.
inline constexpr uint8_t kPrefixNewLine = 0xC0;
inline constexpr uint8_t kPrefixReference = 0xC1;
inline constexpr uint8_t kPrefixDefinition = 0xC4;
// Compact variant: type bytes with no payload, and the copy record.
inline constexpr uint8_t kShortIntegerFirst = 0x80;  // 0x80 + n for integer! 0 to 63
inline constexpr uint8_t kShortIntegerLast = 0xBF;
inline constexpr uint8_t kShortTrue = 0xC2;
inline constexpr uint8_t kShortFalse = 0xC3;
inline constexpr uint8_t kCopyRecord = 0xFF;
// Compact variant: bit 6 of a type byte below 0x80 is the type's flag F; id 63 means the id
// follows as a varint.
inline constexpr uint8_t kTypeFlagF = 0x40;
inline constexpr uint8_t kTypeIdMask = 0x3F;
inline constexpr uint8_t kTypeIdEscape = 63;

// Context record flags (compact) and where the record variant keeps them in its header word.
inline constexpr uint8_t kContextKindBits = 3;
inline constexpr uint8_t kContextStackBit = 4;
inline constexpr uint8_t kContextFlagBit = 8;
inline constexpr uint8_t kContextValuesBit = 16;

// A reference path holds 1 to this many indexes.
inline constexpr int32_t kMaxPathLength = 65536;

}  // namespace qel
