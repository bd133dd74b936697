// A window thread for the thread and service tests: it answers messages the
// way the host does, loads programs from assembly texts registered by name,
// and gives the scripts a shared block of machine memory to report into.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>

#include "host/message_queue.h"
#include "host/services.h"
#include "vm/arena.h"
#include "vm/machine_context.h"

namespace qavz::test {

// Assembly sources by path, served to LoadProgram through a compiler entry.
// "%S%" in a text stands for the shared block's address.
void RegisterProgram(const std::string& path, const std::string& text);
// A context running `text` (placeholders substituted), or null with a failure.
MachineContext* BuildContext(const std::string& text, uint32_t stackSize = 16384);

// Stub routines for the natives a test program calls: `call n_<name>` after
// pushing the arguments, last first.
extern const char* const kNativeStubs;

class ThreadTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Word i of the shared block.
  int32_t Shared(int i) const;
  void SetShared(int i, int32_t value);
  Addr SharedAddr(int i = 0) const;
  // Pumps messages until `done` holds or `ms` pass; returns done().
  bool WaitFor(const std::function<bool()>& done, int ms = 3000);
  // Pumps for `ms` milliseconds.
  void PumpFor(int ms);
  int Closes() const;
};

// Replaces "%S%" with the shared block's address.
std::string Substitute(const std::string& text);

}  // namespace qavz::test
