// Shared libraries (extensions) and calls into their C functions.
#pragma once

#include <cstdint>
#include <string>

namespace qavz::platform {

// Loads a library by path (with a slash) or by name on the system's library
// path; null when it cannot be loaded.
void* OpenLibrary(const std::string& path);
void CloseLibrary(void* library);
// An exported function's address, or null.
void* LibraryFunction(void* library, const std::string& name);

constexpr int kMaxCallWords = 16;
// Calls a C function that takes `count` (0 .. kMaxCallWords) 32-bit
// arguments and returns a 32-bit value.
int32_t CallWithWords(void* function, const int32_t* words, int count);

}  // namespace qavz::platform
