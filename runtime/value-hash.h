// value-hash.h: the hash of a value by its type, as hash!, map! and word tables index it.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// The hash of a value: values that compare equal hash alike. Text folds case unless
// case_sensitive; words hash by their canonical symbol, so spellings that differ in case
// collide and the comparison tells them apart.
uint32_t value_hash(const Cell& value, bool case_sensitive);

// hash-string-value: the string hash of a text value from its index to its tail.
uint32_t hash_string_value(const Cell& string, bool case_sensitive);

// money! hashes a normalised copy of itself (equal amounts in different forms alike); its
// datatype installs the normaliser. Until then a money! value hashes as it is.
using MoneyNormaliser = Cell (*)(const Cell& money);
void set_money_hash_normaliser(MoneyNormaliser normaliser);

}  // namespace qel
