// A fresh memory manager, collector, root block and resource tables for each test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/collector.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-catalog.h"
#include "runtime/exits.h"
#include "runtime/extref.h"
#include "runtime/extres.h"
#include "runtime/memory.h"
#include "runtime/root-block.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/startup.h"
#include "runtime/throw.h"

namespace qel {

// The start-up's memory steps, from nothing; collection enabled, torture as QEL_GC_TORTURE says.
inline void start_memory_afresh() { restart_memory(); }

// The start-up's datatype registrations, keeping the error services as they were, so that
// tests read the errors they raise through stand_in_last_error.
inline void register_datatypes_keeping_error_services() {
  const Services kept = services();
  register_datatypes();
  services().error_build = kept.error_build;
  services().error_set_where = kept.error_set_where;
  services().error_stack_field = kept.error_stack_field;
}

class MemoryTest : public ::testing::Test {
 protected:
  void SetUp() override { start_memory_afresh(); }
  // The external resources go first: at exit nothing would release what the slots still hold.
  void TearDown() override {
    extres_release_all();
    memory_release_all();
  }
};

// For tests of where buffers lie and how compaction moves them: the torture mode off.
class FrameLayoutTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    collector_set_torture(false);
  }
};

// True when `body` raised the language error `id`.
template <class Body>
bool raises_error(ErrorId id, Body&& body) {
  if (trap_errors(body).taken != kThrowError) return false;
  stack_drop(1);  // the error the trap left
  return stand_in_last_error().id == id;
}

// True when `body` raised the internal no-memory error.
template <class Body>
bool raises_no_memory(Body&& body) {
  return raises_error(error_id("internal", "no-memory"), body);
}

inline Cell block_cell(NodeId node, uint32_t index = 0) { return make_cell(Type::block, index, node); }
inline Cell string_cell(NodeId node, uint32_t index = 0) { return make_cell(Type::string, index, node); }

// A byte series holding the text (without a terminator).
inline NodeId byte_series_of(const char* text) {
  NodeId node = new_byte_series(static_cast<int64_t>(std::strlen(text)));
  series_buffer_append_bytes(node, text, static_cast<int64_t>(std::strlen(text)));
  return node;
}

inline std::string text_of(NodeId node) {
  SeriesBuffer* buffer = series_buffer(node);
  return std::string(reinterpret_cast<const char*>(buffer->head_address()), buffer->tail - buffer->head);
}

}  // namespace qel
