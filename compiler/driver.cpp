// The compile driver: start-up of every layer in order, the loop over
// top-level declarations, the link at the end of the source and the one
// abort point every error comes back to.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "compiler/compiler.h"
#include "compiler/internal.h"
#include "core/config.h"
#include "vm/machine_context.h"

namespace qavz {

namespace compiler {

char IncludeDir[kPathBytes];
char MainName[kPathBytes];
int MainFunction = -1;

namespace {

std::mutex CompileMutex;  // compiles never overlap
std::vector<std::string> LastSources;

// The include directory is the path up to its last separator; a Linux path
// with slashes is split the same way as a Windows one with backslashes.
void SplitPath(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  size_t dir = size_t(name - path);
  if (dir >= kPathBytes) dir = kPathBytes - 1;
  std::memcpy(IncludeDir, path, dir);
  IncludeDir[dir] = 0;
  std::snprintf(MainName, sizeof MainName, "%s", name);
}

void Initialise() {
  BetweenDeclarations = true;
  ResetReader();
  OpenMainFile(MainName);
  Work = static_cast<WorkBlock*>(std::calloc(1, sizeof(WorkBlock)));
  if (!Work) Fail(kErrMemory);
  ResetSymbols();
  PoolLow = 1;
  PoolHigh = kNodeWords;
  PoolFromHigh = false;
  NestingDepth = 0;
  ResetCodegen();
  List(".file \"%s\"\n", MainName);
  List(".text\n\n");
  BuildCharClasses();
  EnterKeywords();
  MainFunction = FindGlobal("main", true);
  Sym(MainFunction).kind = kSymFunction;
  Sym(MainFunction).type = MakeFunction(kTLong);
  Sym(MainFunction).value = NewLabel();
  EmitJumpToMain(Sym(MainFunction).value);
  ReadChar();
  Next();
}

// program = (";"* top-declaration)* end-of-file
bool CompileProgram() {
  Initialise();
  for (;;) {
    ClearLocals();
    InFunction = false;
    PoolFromHigh = false;
    MemberScope = 0;
    NestingDepth = 0;
    BetweenDeclarations = true;
    while (Tok == kTokSemi) Next();
    BetweenDeclarations = false;
    if (Tok == kTokEof) break;
    ParseTopDeclaration();
  }
  return Link();
}

int Compile(const char* path, Addr dest, uint32_t capacity, uint32_t* codeSize, uint32_t* dataSize,
            CompileMessages messages, std::string* text, std::string* gnuText) {
  ResetDiagnostics(TheConfig().error > 0 || Headless() || messages != CompileMessages::kDefault);
  ResetGnuText();
  if (ListingSwitch) OpenListing(path);
  OutAddr = dest;
  OutCapacity = dest ? capacity : 0;
  OutBase = dest ? TheArena().Span(dest, capacity) : nullptr;
  SplitPath(path);
  int result = -1;
  try {
    if (dest && !OutBase) Fail(kErrMemory);
    result = CompileProgram() ? 1 : -1;
  } catch (const CompileAbort&) {
    result = -1;
  } catch (const std::bad_alloc&) {
    result = -1;
  }
  *codeSize = CodeSize;
  *dataSize = DataSize;
  FreeFrames();
  std::free(Work);
  Work = nullptr;
  *text = TakeErrorText();
  *gnuText = TakeGnuText();
  LastSources = SourcesRead;
  CloseListing();
  return result;
}

int Entry(CompileRequest& request) {
  return CompileScript(request.sourcePath, request.dest, request.capacity, &request.codeSize,
                       &request.dataSize)
             ? 1
             : 0;
}

}  // namespace

}  // namespace compiler

bool CompileScript(const char* path, Addr dest, uint32_t capacity, uint32_t* codeSize, uint32_t* dataSize,
                   CompileMessages messages) {
  uint32_t code = 0, data = 0;
  std::string text, gnuText;
  int result;
  {
    std::lock_guard<std::mutex> lock(compiler::CompileMutex);
    result = compiler::Compile(path ? path : "", dest, capacity, &code, &data, messages, &text, &gnuText);
  }
  // Shown outside the lock: the error box may wait for the window thread,
  // which may itself be about to compile a dropped file.
  compiler::ShowErrorText(text, gnuText, int(messages));
  if (codeSize) *codeSize = code;
  if (dataSize) *dataSize = data;
  return result >= 1;
}

bool CheckSourceFile(const char* path, bool listing, bool echo, CompileMessages messages) {
  compiler::ListingSwitch = listing;
  compiler::EchoSwitch = echo;
  uint32_t code, data;
  bool ok = CompileScript(path, 0, 0, &code, &data, messages);
  compiler::ListingSwitch = compiler::EchoSwitch = false;
  return ok;
}

std::vector<std::string> LastCompileSources() {
  std::lock_guard<std::mutex> lock(compiler::CompileMutex);
  return compiler::LastSources;
}

void InstallCompiler() { SetCompilerEntry(compiler::Entry); }

}  // namespace qavz
