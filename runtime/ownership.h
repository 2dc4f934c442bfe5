// ownership.h: series owned by objects, and the change notifications their owners receive.
//
// One table (kind 4, width 3) maps each owned series' node to (owned value, owner object,
// field word); a flag on the series marks it owned, so a change to a series nobody owns costs
// one flag test. Entries are weak: the collector keeps neither the series nor the owner alive
// through the table, and drops an entry once either has died, before its ids can be reused.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// The owned mark of an image! is in its cell's header instead of its buffer.
inline constexpr uint32_t kImageOwnedFlag = 0x10000;
inline constexpr int64_t kOwnershipExpected = 1000;

// ownership-table-init: the table for 1,000 entries, marked weakly by the collector.
void ownership_table_init();
NodeId ownership_table();

// series-set-owned: owns the value and everything nested in it for the owner's field, then
// marks the owner's context as an owner. The first owner recorded for a series wins.
void series_set_owned(Cell& value, const Cell& owner, const Cell& field);
// series-set-owned-deep: the walk: series are flagged and entered; blocks, parens, paths and
// hashes are walked from their index; an object's values are walked under their own words
// (unless it is an owner itself, or it shares the owner's context).
void series_set_owned_deep(Cell& value, const Cell& owner, const Cell& field);
// series-clear-owned: releases the value and the blocks, parens, paths and hashes nested in it.
void series_clear_owned(Cell& value);
// series-owner-lookup: the entry (owned value, owner, field word) of an owned node, or null;
// valid until the next safe point.
const Cell* series_owner_lookup(NodeId node);

// notify-owner-change: tells the owner of an owned series (when the owner has a change record)
// about a change to it; answers 1 when a notification went out, else 0.
int notify_owner_change(const Cell& value, const Cell& action, const Cell& new_value, int32_t index, int32_t part);

}  // namespace qel
