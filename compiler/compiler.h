// The script compiler: one source file and its includes into a program image.
#pragma once

#include <cstdint>

#include "vm/arena.h"

namespace qavz {

// Installs the compiler as the loader's compile entry (SetCompilerEntry).
void InstallCompiler();

// Empties the extern-function table that lives for the whole run.
void ClearExternRegistry();

// The compile driver. dest 0 is the sizing pass (nothing stored); otherwise
// the program is written at dest with every address final. Code and data
// sizes come back in *codeSize and *dataSize. True on success; errors are
// gathered and shown once (error box at level 1, or standard error when
// headless or when `messagesToStderr` is set).
bool CompileScript(const char* path, Addr dest, uint32_t capacity, uint32_t* codeSize,
                   uint32_t* dataSize, bool messagesToStderr = false);

// The dropped-file check: one sizing pass; `listing` writes "<base>.txt" in
// the current directory (Shift held), `echo` adds the source lines (Ctrl).
bool CheckSourceFile(const char* path, bool listing, bool echo, bool messagesToStderr = false);

}  // namespace qavz
