#include "vm/native_dispatch.h"

#include <atomic>

#include "core/config.h"
#include "core/report_error.h"
#include "vm/interpreter.h"
#include "vm/native_table.h"
#include "vm/opcodes.h"

namespace qavz {

namespace {
// The handlers live in the subsystems above the machine; the host installs
// their table at start-up.
std::atomic<const NativeEntry*> gTable{nullptr};

void StopContext(MachineContext* context) {
  context->state = kStopped;
  StopFlag().store(1);
}
}  // namespace

int32_t PushedArgumentWords(const MachineContext* context) noexcept {
  const Arena& arena = TheArena();
  Addr returnAddress;
  uint16_t word;
  int32_t bytes;
  if (!arena.Read(Addr(context->r[7]), returnAddress)) return 0;
  if (!arena.Read(returnAddress, word) || word != kStackAdjustWord) return 0;
  if (!arena.Read(returnAddress + 2, bytes)) return 0;
  return bytes / 4;
}

void InstallNativeTable(const NativeEntry* table) noexcept { gTable.store(table); }

void DispatchNative(uint32_t index, MachineContext* context) {
  if (!context) return;
  const NativeEntry* table = gTable.load();
  if (index >= uint32_t(kNativeCount) || !table) {
    ReportError(kLevelFault, "不正な命令コード - #%d", int(index));
    StopContext(context);
    return;
  }
  const NativeEntry& entry = table[index];
  // The check reports and stops, but the call itself still happens.
  if (TheConfig().debugMode && entry.argCount != -1 && PushedArgumentWords(context) != entry.argCount) {
    ReportError(kLevelFault, "%s - 引数の数が違います。", entry.name);
    StopContext(context);
  }
  std::lock_guard lock(NativeLock());
  CurrentContext = context;
  int32_t result = entry.handler(Addr(context->r[7]) + 4);
  if (CurrentContext) CurrentContext->r[0] = result;
  CurrentContext = nullptr;
}

}  // namespace qavz
