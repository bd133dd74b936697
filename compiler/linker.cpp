// The end of a compile whose source ended normally: external variables in
// the listing, calls of functions defined in no source resolved through the
// extern-function table (which lives for the whole run), undefined names
// reported, the summary.
#include <cstring>
#include <mutex>

#include "compiler/compiler.h"
#include "compiler/internal.h"
#include "vm/foreign_calls.h"

namespace qavz {

namespace compiler {
namespace {

constexpr int kExternEntries = 512;
constexpr int kExternNameBytes = 32;

struct ExternEntry {
  char name[kExternNameBytes];
  Addr address;
  Addr image;           // the image that defines it, and that image's
  uint32_t generation;  // generation: a call through a stale entry faults
};
ExternEntry ExternTable[kExternEntries];
int ExternCount = 0;
std::mutex ExternMutex;

}  // namespace

// An entry whose image has since been freed no longer names a function: a
// call through it would reach memory that is gone.
bool ExternLookup(const char* name, Addr* address, Addr* image, uint32_t* generation) {
  std::lock_guard<std::mutex> lock(ExternMutex);
  for (int i = 0; i < ExternCount; ++i) {
    const ExternEntry& e = ExternTable[i];
    if (std::strcmp(e.name, name) != 0) continue;
    Addr base;
    uint32_t now;
    if (!TheArena().Live(e.address, 1) || !ImageOf(e.address, &base, &now) || base != e.image ||
        now != e.generation)
      return false;
    *address = e.address;
    if (image) *image = e.image;
    if (generation) *generation = e.generation;
    return true;
  }
  return false;
}

bool ExternRegister(const char* name, Addr address) {
  std::lock_guard<std::mutex> lock(ExternMutex);
  size_t n = std::strlen(name);
  if (n >= size_t(kExternNameBytes)) return false;
  Addr image = 0;
  uint32_t generation = 0;
  ImageOf(address, &image, &generation);
  ExternEntry* e = nullptr;
  for (int i = 0; i < ExternCount && !e; ++i)
    if (std::strcmp(ExternTable[i].name, name) == 0) e = &ExternTable[i];
  if (!e) {
    if (ExternCount >= kExternEntries) return false;
    e = &ExternTable[ExternCount++];
    std::memcpy(e->name, name, n + 1);
  }
  e->address = address;
  e->image = image;
  e->generation = generation;
  return true;
}

bool Link() {
  for (int i = 0; i < kGlobalSymbols; ++i) {
    const SymbolEntry& e = Sym(i);
    if (e.kind == kSymGlobal && (OutBase || (e.flags & kFlagExtern)))
      List(".comm %s, %d\n", e.name, SizeOf(e.type));
  }
  bool failed = false;
  for (int i = 0; i < kGlobalSymbols; ++i) {
    const SymbolEntry& e = Sym(i);
    if (e.kind == kSymFunction && !LabelDefined(e.value)) {
      Addr address, image;
      uint32_t generation;
      if (ExternLookup(e.name, &address, &image, &generation)) {
        FillChain(e.value, address);
        if (OutAddr) ExpectForeignTarget(OutAddr, address, image, generation);
      } else {
        Message("%s 関数は定義されていません。\n", MessageText(e.name));
        GnuNote("error", std::string(MessageText(e.name)) + " 関数は定義されていません",
                std::string("function ") + MessageText(e.name) + " is not defined", false);
        failed = true;
      }
    } else if (e.kind == kSymLabelUsed) {
      Message("%s ラベルは定義されていません。\n", MessageText(e.name));
      GnuNote("error", std::string(MessageText(e.name)) + " ラベルは定義されていません",
              std::string("label ") + MessageText(e.name) + " is not defined", false);
      failed = true;
    }
  }
  if (failed) return false;
  List("\n;==================================================\n");
  List("; Compiled %u lines.\n", unsigned(MainLineCount()));
  List("; Total internal labels  : %u.\n", unsigned(NextLabel - 1));
  List("; Total program size : %u bytes.\n", CodeSize);
  List("; Total data size : %u bytes.\n", DataSize);
  List("; Total external data size : %u bytes.\n\n", ExternSize);
  return true;
}

}  // namespace compiler

void ClearExternRegistry() {
  std::lock_guard<std::mutex> lock(compiler::ExternMutex);
  compiler::ExternCount = 0;
}

}  // namespace qavz
