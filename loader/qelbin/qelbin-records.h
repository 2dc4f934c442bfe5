// qelbin-records.h: the record variant's header word: the type id in bits 0-7 and the flags
// each type's records carry above it.
#pragma once

#include <cstdint>

namespace qel {

inline constexpr uint32_t kRecordSkip = 0;              // a type-0 record: the next one stands in its place
inline constexpr uint32_t kRecordCopy = 255;            // a reference record whose cell is copied whole
inline constexpr uint32_t kRecordNewLine = 1u << 31;
inline constexpr uint32_t kRecordReference = 1u << 19;  // series, bitset!, object!, function!, map!, words
inline constexpr uint32_t kRecordDefinition = 1u << 25; // words: a definition (normal mode), global (codec mode)
inline constexpr uint32_t kRecordComplemented = 1u << 23;  // bitset!
inline constexpr uint32_t kRecordNegative = 1u << 22;      // money!
inline constexpr uint32_t kRecordHooks = 1u << 24;         // object!: change-handler fields
inline constexpr uint32_t kRecordSizeShift = 8;            // unit size, element size, tuple length
inline constexpr uint32_t kRecordWrappedShift = 16;        // op!: the wrapped value's type
// context!: the kind, the creation flag, values on the value stack, values follow.
inline constexpr uint32_t kRecordContextKindShift = 26;
inline constexpr uint32_t kRecordContextFlag = 1u << 28;
inline constexpr uint32_t kRecordContextOnStack = 1u << 29;
inline constexpr uint32_t kRecordContextValues = 1u << 30;

}  // namespace qel
