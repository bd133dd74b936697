#include "vm/machine_context.h"

#include <atomic>
#include <cstring>
#include <new>

#include "vm/foreign_calls.h"
#include "vm/translator.h"

namespace qavz {

namespace {

std::atomic<CompilerEntry> gCompiler{nullptr};

// The image and stack are arena blocks; the record itself is host memory, as
// scripts only ever see copies of it (setjmp).
MachineContext* NewRecord() { return new (std::nothrow) MachineContext{}; }

// A record restored from script memory (longjmp) could name blocks that are
// not its own; only a block of exactly the recorded size is given back.
void FreeBlockOfSize(Addr block, uint64_t size) {
  Arena& arena = TheArena();
  if (block != 0 && arena.BlockSize(block) == (size == 0 ? 1 : size)) arena.Free(block);
}

bool HasCExtension(const char* path) {
  const char* dot = std::strrchr(path, '.');
  return dot && (dot[1] == 'c' || dot[1] == 'C') && dot[2] == '\0';
}

}  // namespace

MachineContext* CreateContext(uint32_t programSize, uint32_t stackSize) {
  if (programSize > 0xFFFFFFFFu - 4) return nullptr;
  Arena& arena = TheArena();
  MachineContext* c = NewRecord();
  if (!c) return nullptr;
  Addr image = arena.Alloc(programSize + 4);
  Addr stack = image ? arena.Alloc(stackSize) : 0;
  if (!image || !stack) {
    if (image) arena.Free(image);
    delete c;
    return nullptr;
  }
  RegisterImage(image, programSize + 4);
  c->pc = image;
  c->imageBase = image;
  c->refCountAddr = image + programSize;
  c->programSize = programSize;
  c->stackBase = stack;
  c->stackSize = stackSize;
  c->r[7] = int32_t(stack + stackSize);
  arena.Write<int32_t>(c->refCountAddr, 1);
  return c;
}

MachineContext* CloneContext(const MachineContext* parent, int32_t stackSize) {
  if (!parent) return nullptr;
  Arena& arena = TheArena();
  int32_t count;
  if (!arena.Read(parent->refCountAddr, count)) return nullptr;  // image already gone
  MachineContext* c = NewRecord();
  if (!c) return nullptr;
  c->imageBase = parent->imageBase;
  c->pc = parent->imageBase;
  c->refCountAddr = parent->refCountAddr;
  c->programSize = parent->programSize;
  arena.Write<int32_t>(c->refCountAddr, count + 1);
  c->stackSize = stackSize <= 0 ? parent->stackSize : uint32_t(stackSize);
  c->stackBase = arena.Alloc(c->stackSize);
  if (!c->stackBase) {
    arena.Write<int32_t>(c->refCountAddr, arena.Word(c->refCountAddr) - 1);
    delete c;
    return nullptr;
  }
  c->r[7] = int32_t(c->stackBase + c->stackSize);
  return c;
}

int FreeContext(MachineContext* context) {
  if (!context) return 1;
  Arena& arena = TheArena();
  int32_t count;
  if (arena.Read(context->refCountAddr, count)) {
    --count;
    arena.Write<int32_t>(context->refCountAddr, count);
    if (count <= 0 && context->refCountAddr == context->imageBase + context->programSize) {
      ForgetImage(context->imageBase);
      DropTranslation(context->imageBase);
      FreeBlockOfSize(context->imageBase, uint64_t(context->programSize) + 4);
    }
  }
  FreeBlockOfSize(context->stackBase, context->stackSize);
  delete context;
  return 1;
}

void SetCompilerEntry(CompilerEntry entry) { gCompiler.store(entry); }
CompilerEntry GetCompilerEntry() { return gCompiler.load(); }

MachineContext* LoadProgram(const char* sourcePath, uint32_t programSize, uint32_t stackSize) {
  if (!sourcePath || !HasCExtension(sourcePath)) return nullptr;
  // The path buffer holds 260 characters; a longer path cannot name a file
  // the loader could have opened, so it is refused rather than cut.
  char path[260];
  size_t length = std::strlen(sourcePath);
  if (length >= sizeof path) return nullptr;
  std::memcpy(path, sourcePath, length + 1);
  CompilerEntry compile = GetCompilerEntry();
  if (!compile) return nullptr;
  if (programSize == 0) {
    CompileRequest count{path, 0, 0, 0, 0};
    if (!compile(count)) return nullptr;
    uint64_t size = uint64_t(count.codeSize) + count.dataSize;
    if (size > 0xFFFFFFFFu - 4) return nullptr;
    programSize = uint32_t(size);
  }
  MachineContext* c = CreateContext(programSize, stackSize);
  if (!c) return nullptr;
  CompileRequest emit{path, c->imageBase, programSize, 0, 0};
  if (!compile(emit)) {
    FreeContext(c);
    return nullptr;
  }
  TranslateImage(c->imageBase, emit.codeSize, programSize);
  return c;
}

}  // namespace qavz
