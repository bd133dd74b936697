#include "vm/interpreter.h"

#include <cstdlib>
#include <new>

#include "vm/interpreter_loop.h"
#include "vm/native_dispatch.h"
#include "vm/translator.h"

namespace qavz {

std::atomic<TrapHandler> CurrentTrapHandler{&DispatchNative};

namespace {

// Exactly as the user sees them, indexed by FaultKind.
constexpr const char* kFaultMessages[] = {
    "０で除算しました",
    "プログラム領域をオーバーしました",
    "スタック領域をオーバーしました",
    "不正な命令コードが現れました",
};

// StopFlag and ActiveFlag share one arena block so extensions can be handed
// their machine addresses.
struct RunFlags {
  std::atomic<int32_t> stop;
  std::atomic<int32_t> active;
};

struct FlagBlock {
  Addr address;
  RunFlags* flags;
};

const FlagBlock& Flags() noexcept {
  static const FlagBlock block = [] {
    Arena& arena = TheArena();
    Addr a = arena.Alloc(sizeof(RunFlags));
    if (a == 0) std::abort();  // the arena cannot give 8 bytes at start-up
    RunFlags* f = new (arena.Base() + a) RunFlags{};
    f->active.store(1);
    return FlagBlock{a, f};
  }();
  return block;
}

}  // namespace

std::atomic<int32_t>& StopFlag() noexcept { return Flags().flags->stop; }
Addr StopFlagAddress() noexcept { return Flags().address; }
std::atomic<int32_t>& ActiveFlag() noexcept { return Flags().flags->active; }
Addr ActiveFlagAddress() noexcept { return Flags().address + 4; }

int SetTrapHandler(TrapHandler handler) {
  CurrentTrapHandler.store(handler);
  return 1;
}

const char* FaultMessage(FaultKind kind) noexcept {
  return kFaultMessages[unsigned(kind) > kFaultOpcode ? kFaultOpcode : kind];
}

// Translated code runs longer slices while the application is active (it
// reads StopFlag at back-edges, calls and returns); an inactive one keeps
// the interpreter's 255 instructions, so its pacing stays as it was.
int RunSlice(MachineContext* context) {
  if (!AnyTranslation()) return RunSliceLoop<true, true>(context);
  bool active = ActiveFlag().load(std::memory_order_relaxed) != 0;
  return RunTranslated(context, active ? kTranslatedSliceSteps : 255, false);
}

}  // namespace qavz
