// The control-transfer and thread natives: jump, call, exit, setjmp, longjmp,
// thd_begin, thd_end, thd_suspend, thd_resume, sleep.
//
// All of them run under NativeLock with CurrentContext naming the caller, and
// the interpreter ends the slice after every trap, so a context replaced,
// pushed or ended here is picked up by the thread loop before anything else
// runs.
#include <cstring>
#include <string>

#include "core/config.h"
#include "host/script_threads.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// The first `n` argument words; false when the argument block is not live
// (the caller pushed fewer words than the native takes, at the stack end).
bool ReadArgs(Addr args, int n, int32_t* out) {
  for (int i = 0; i < n; ++i)
    if (!TheArena().Read(args + 4u * uint32_t(i), out[i])) return false;
  return true;
}

// Loads the program named by the script string at `pathAddr`. Paths longer
// than the loader's buffer are refused by the loader, not cut here.
MachineContext* LoadNamedProgram(Addr pathAddr) {
  int64_t length = TheArena().StrLen(pathAddr, 4096);
  if (length < 0) return nullptr;
  std::string path;
  if (!TheArena().ReadString(pathAddr, path, 4096)) return nullptr;
  const Config& config = TheConfig();
  return LoadProgram(path.c_str(), config.programSize, config.stackSize);
}

}  // namespace

// jump(path): the new program replaces the caller in place.
int32_t Native_jump(Addr args) {
  MachineContext* caller = CurrentContext;
  int32_t path;
  if (!caller || !ReadArgs(args, 1, &path)) return 0;
  MachineContext* next = LoadNamedProgram(Addr(path));
  if (!next) return 0;
  if (!ReplaceTopContext(int(caller->threadIndex), next)) {
    FreeContext(next);
    return 0;
  }
  CurrentContext = next;  // the 1 lands in the new program's r0
  return 1;
}

// call(path): the new program runs above the caller, whose r0 receives the
// called program's final r0 when it ends.
int32_t Native_call(Addr args) {
  MachineContext* caller = CurrentContext;
  int32_t path;
  if (!caller || !ReadArgs(args, 1, &path)) return 0;
  MachineContext* called = LoadNamedProgram(Addr(path));
  if (!called) return 0;
  if (!PushContext(int(caller->threadIndex), called)) {
    FreeContext(called);
    return 0;
  }
  return 1;
}

// exit(): the thread loop sees state 2, stops everything and closes.
int32_t Native_exit(Addr) {
  if (CurrentContext) CurrentContext->state = kStopped;
  return 0;
}

// setjmp(buffer): the caller's record with pc = the return address of this
// call, r0 = the thread's context depth and r7 = the stack after the return.
int32_t Native_setjmp(Addr args) {
  MachineContext* caller = CurrentContext;
  int32_t buffer;
  if (!caller || !ReadArgs(args, 1, &buffer)) return 0;
  Arena& arena = TheArena();
  Addr sp = Addr(caller->r[7]);
  Addr returnAddress;
  if (!arena.Read(sp, returnAddress)) return 0;
  MachineContext record = *caller;
  record.pc = returnAddress;
  record.r[0] = ThreadTopIndex(int(caller->threadIndex));
  record.r[7] = int32_t(sp + 4);
  uint8_t* out = arena.Span(Addr(buffer), sizeof record);
  if (out) std::memcpy(out, &record, sizeof record);
  return 0;
}

// longjmp(buffer, value): back to the setjmp of the buffer, abandoning the
// programs called since, if that function is still active on this thread.
int32_t Native_longjmp(Addr args) {
  MachineContext* caller = CurrentContext;
  int32_t a[2];
  if (!caller || !ReadArgs(args, 2, a)) return 0;
  MachineContext saved;
  if (!TheArena().Read(Addr(a[0]), saved)) return 0;
  int index = int(caller->threadIndex);
  int32_t depth = saved.r[0];
  if (saved.threadIndex != caller->threadIndex || depth < 0 || ThreadTopIndex(index) < depth) return 0;
  MachineContext* target = ThreadContextAt(index, depth);
  if (!target || target->imageBase != saved.imageBase || target->stackBase != saved.stackBase ||
      uint32_t(target->r[7]) > uint32_t(saved.r[7]))
    return 0;
  DropContextsAbove(index, depth);
  // A buffer edited by the script must not make the context free or index
  // blocks it does not own: the sizes and the count address stay its own.
  Addr refCountAddr = target->refCountAddr;
  uint32_t programSize = target->programSize, stackSize = target->stackSize;
  *target = saved;
  target->refCountAddr = refCountAddr;
  target->programSize = programSize;
  target->stackSize = stackSize;
  CurrentContext = target;
  return a[1] != 0 ? a[1] : 1;
}

// thd_begin(function, argument, suspended, stack size): a new thread running
// `function(argument)` of the caller's program.
int32_t Native_thd_begin(Addr args) {
  MachineContext* caller = CurrentContext;
  int32_t a[4];
  if (!caller || !ReadArgs(args, 4, a)) return -1;
  int32_t stackSize = a[3] <= 0 ? 0 : a[3] < 1024 ? 1024 : a[3];
  int index = StartThreadAt(caller, Addr(a[0]), a[1], a[2] != 0 ? 1 : 0, stackSize);
  if (index < 0) return -1;
  ResetThreadFontSelection(index);
  return index;
}

// thd_end(index): stops the thread and waits for it; the caller's own index
// only asks its thread to end once this native returns.
int32_t Native_thd_end(Addr args) {
  MachineContext* caller = CurrentContext;
  int32_t index;
  if (!ReadArgs(args, 1, &index)) return 0;
  if (caller && uint32_t(index) == caller->threadIndex) return RequestThreadEnd(index);
  return StopThreadAndWait(index);
}

int32_t Native_thd_suspend(Addr args) {
  int32_t index;
  if (!ReadArgs(args, 1, &index)) return -1;
  return RaiseSuspend(index);
}

int32_t Native_thd_resume(Addr args) {
  int32_t index;
  if (!ReadArgs(args, 1, &index)) return -1;
  return LowerSuspend(index);
}

// sleep(milliseconds): the slice ends here and the thread runs nothing until
// the time has passed; 0 or below only ends the slice.
int32_t Native_sleep(Addr args) {
  MachineContext* caller = CurrentContext;
  int32_t milliseconds;
  if (!caller || !ReadArgs(args, 1, &milliseconds)) return 0;
  return SetWakeTime(int(caller->threadIndex), uint32_t(milliseconds));
}

}  // namespace qavz
