// The script compiler: one source file and its includes into a program image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vm/arena.h"

namespace qavz {

// Installs the compiler as the loader's compile entry (SetCompilerEntry).
void InstallCompiler();

// Empties the extern-function table that lives for the whole run.
void ClearExternRegistry();

// The compile driver. dest 0 is the sizing pass (nothing stored); otherwise
// the program is written at dest with every address final. Code and data
// sizes come back in *codeSize and *dataSize. True on success; errors are
// gathered and shown once: an error box at level 1, or standard error when
// headless or asked for; kCollectOnly only keeps them for LastCompileMessages.
enum class CompileMessages { kDefault, kStderr, kCollectOnly };
bool CompileScript(const char* path, Addr dest, uint32_t capacity, uint32_t* codeSize, uint32_t* dataSize,
                   CompileMessages messages = CompileMessages::kDefault);

// The dropped-file check: one sizing pass; `listing` writes "<base>.txt" in
// the current directory (Shift held), `echo` adds the source lines (Ctrl).
bool CheckSourceFile(const char* path, bool listing, bool echo,
                     CompileMessages messages = CompileMessages::kDefault);

// How compile messages reach standard error: the system's own form, or GNU
// form (file:line:column: error: TEXT [gloss]) for editors, which then goes
// to standard error after every compile, beside any error box. Paths below
// `startDir` are shown relative to it.
enum class MessageForm { kClassic, kGnu };
void SetMessageForm(MessageForm form, const std::string& startDir);
MessageForm CurrentMessageForm();

// The sources the last compile opened (the main file first, then each
// include as the compile reached it), as paths it opened them by.
std::vector<std::string> LastCompileSources();

// The messages of the last compile in UTF-8 (empty when none were gathered).
const char* LastCompileMessages();

// The text of numbered compile error `code` (0 to kCompileErrorCount - 1) as
// a compile shows it, before its closing "。"; empty for any other code.
constexpr int kCompileErrorCount = 25;
const char* CompileErrorMessage(int code);

}  // namespace qavz
