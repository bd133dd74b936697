// dll_load, dll_unload, dll_proc and dll_call over shared libraries. Scripts
// see a library as its slot number and a function as a number of this
// table, never as a host address: a number that names no function, or one
// of an unloaded library, calls nothing.
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/report_error.h"
#include "core/service_hooks.h"
#include "core/service_request.h"
#include "include/qavz_extension.h"
#include "platform/path_map.h"
#include "platform/shared_library.h"
#include "system/extensions.h"
#include "system/messages.h"
#include "vm/native_dispatch.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

namespace fs = std::filesystem;

struct Function {
  void* address = nullptr;
  int32_t library = -1;  // slot; -1 once the library is gone
};

// Script threads use these under NativeLock.
void* gLibraries[kDllSlots] = {};
std::vector<Function> gFunctions;

bool Live(uint32_t address, uint32_t size) { return TheArena().Live(address, size); }

int32_t SendMessage(uint32_t message, int32_t wParam, int32_t lParam) {
  return SendServiceRequest(message, wParam, lParam);
}

// The block through the message, as the message fills it, then copied out.
int32_t Information(uint32_t words[QAVZ_INFORMATION_WORDS]) {
  Arena& arena = TheArena();
  Addr block = arena.Alloc(4 * QAVZ_INFORMATION_WORDS);
  if (block == 0) return 0;
  SendServiceRequest(QAVZ_MESSAGE_INFORMATION, int32_t(block), 0);
  for (uint32_t i = 0; i < QAVZ_INFORMATION_WORDS; ++i) words[i] = uint32_t(arena.Word(block + 4 * i));
  arena.Free(block);
  return 0;
}

const qavz_host& Host() {
  static const qavz_host host = {
      QAVZ_EXTENSION_VERSION,
      sizeof(qavz_host),
      TheArena().Base(),
      [](uint32_t address, uint32_t size) { return Live(address, size) ? 1 : 0; },
      SendMessage,
      Information,
  };
  return host;
}

bool EndsWithDll(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return tail == ".dll";
}

// The title's folder and `path` both resolved, symbolic links followed:
// true when the path lies inside the folder.
bool InsideTitle(const std::string& path) {
  std::error_code error;
  fs::path title = fs::weakly_canonical(ThePaths().baseDir.empty() ? "." : ThePaths().baseDir, error);
  if (error) return false;
  fs::path file = fs::weakly_canonical(path, error);
  if (error) return false;
  fs::path inside = file.lexically_relative(title);
  return !inside.empty() && *inside.begin() != ".." && !inside.is_absolute();
}

void UnloadSlot(int slot) {
  platform::CloseLibrary(gLibraries[slot]);
  gLibraries[slot] = nullptr;
  for (Function& f : gFunctions)
    if (f.library == slot) f = Function{};
}

}  // namespace

std::vector<std::string> LibraryCandidates(const std::string& windowsPath) {
  std::string path = windowsPath;
  for (char& c : path) c = c == '\\' ? '/' : c;
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "" : windowsPath.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? windowsPath : windowsPath.substr(slash + 1);
  if (file.empty()) return {};
  // LoadLibrary's rule: a name without an extension is a ".dll".
  if (file.find('.') == std::string::npos) file += ".dll";
  std::vector<std::string> names;
  if (EndsWithDll(file)) {
    std::string stem = file.substr(0, file.size() - 4);
    names = {"lib" + stem + ".so", stem + ".so"};
  }
  names.push_back(file);
  std::vector<std::string> candidates;
  std::vector<std::string> folders{folder};
  if (folder.empty()) folders = {ThePaths().baseDir, ""};
  for (const std::string& in : folders)
    for (const std::string& name : names) {
      std::string mapped = platform::MapPath(in + name);
      if (mapped.find('/') == std::string::npos) mapped = "./" + mapped;
      std::error_code ignored;
      if (fs::is_regular_file(mapped, ignored) && InsideTitle(mapped)) candidates.push_back(mapped);
    }
  if (folder.empty())
    for (const std::string& name : names)
      if (!EndsWithDll(name)) candidates.push_back(name);
  return candidates;
}

void ResetDllTable() {
  for (int slot = 0; slot < kDllSlots; ++slot) UnloadSlot(slot);
  gFunctions.clear();
}

// At shut-down every library still loaded is released.
void UnloadAllDlls() { ResetDllTable(); }

// dll_load(path): the library's slot, or -1.
int32_t Native_dll_load(Addr args) {
  std::string path;
  if (!TheArena().ReadString(ArgAddr(args, 0), path, 4096) || path.empty()) return -1;
  int slot = 0;
  while (slot < kDllSlots && gLibraries[slot]) ++slot;
  if (slot == kDllSlots) return -1;
  for (const std::string& candidate : LibraryCandidates(path)) {
    void* library = platform::OpenLibrary(candidate);
    if (!library) continue;
    gLibraries[slot] = library;
    using Init = void (*)(const qavz_host*);
    if (void* init = platform::LibraryFunction(library, "qavz_extension_init"))
      reinterpret_cast<Init>(init)(&Host());
    return slot;
  }
  return -1;
}

// dll_unload(slot): 1 when a library was released.
int32_t Native_dll_unload(Addr args) {
  int32_t slot = Arg(args, 0);
  if (slot < 0 || slot >= kDllSlots || !gLibraries[slot]) return 0;
  UnloadSlot(slot);
  return 1;
}

// dll_proc(slot, name): the function's number, or 0.
int32_t Native_dll_proc(Addr args) {
  int32_t slot = Arg(args, 0);
  std::string name;
  if (slot < 0 || slot >= kDllSlots || !gLibraries[slot]) return 0;
  if (!TheArena().ReadString(ArgAddr(args, 1), name, 4096)) return 0;
  void* address = platform::LibraryFunction(gLibraries[slot], name);
  if (!address) return 0;
  size_t free = gFunctions.size();
  for (size_t i = 0; i < gFunctions.size(); ++i) {
    if (gFunctions[i].address == address && gFunctions[i].library == slot) return kFunctionBase + int32_t(i);
    if (gFunctions[i].library < 0 && free == gFunctions.size()) free = i;
  }
  if (free == gFunctions.size()) {
    if (gFunctions.size() >= size_t(kMaxFunctions)) return 0;
    gFunctions.emplace_back();
  }
  gFunctions[free] = Function{address, slot};
  return kFunctionBase + int32_t(free);
}

// dll_call(function, ...): the words after the function, as many as the
// caller's stack release says it pushed, passed in order; the function's
// result, or 0 when there is no such function or too many words.
int32_t Native_dll_call(Addr args) {
  int32_t count = (CurrentContext ? PushedArgumentWords(CurrentContext) : 0) - 1;
  int32_t number = Arg(args, 0);
  if (count < 0 || number == 0) return 0;
  int64_t index = int64_t(number) - kFunctionBase;
  if (index < 0 || index >= int64_t(gFunctions.size()) || gFunctions[size_t(index)].library < 0) return 0;
  if (count > platform::kMaxCallWords) {
    ReportError(kLevelFault, msg::kDllCallTooManyArguments, count);
    return 0;
  }
  int32_t words[platform::kMaxCallWords] = {};
  for (int32_t i = 0; i < count; ++i) words[i] = Arg(args, i + 1);
  return platform::CallWithWords(gFunctions[size_t(index)].address, words, count);
}

}  // namespace qavz
