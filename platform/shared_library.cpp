#include "platform/shared_library.h"

#include <dlfcn.h>

#include <array>
#include <utility>

namespace qavz::platform {

namespace {

// The caller for functions of N arguments: the function's own type, so the
// platform's convention places every word where the function looks.
template <size_t... I>
int32_t CallN(void* function, const int32_t* words, std::index_sequence<I...>) {
  using Function = int32_t (*)(decltype(I, int32_t())...);
  return reinterpret_cast<Function>(function)(words[I]...);
}

template <size_t... N>
constexpr auto Callers(std::index_sequence<N...>) {
  return std::array<int32_t (*)(void*, const int32_t*), sizeof...(N)>{
      [](void* f, const int32_t* w) { return CallN(f, w, std::make_index_sequence<N>()); }...};
}

constexpr auto kCallers = Callers(std::make_index_sequence<kMaxCallWords + 1>());

}  // namespace

void* OpenLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void CloseLibrary(void* library) {
  if (library) dlclose(library);
}

void* LibraryFunction(void* library, const std::string& name) {
  return library ? dlsym(library, name.c_str()) : nullptr;
}

int32_t CallWithWords(void* function, const int32_t* words, int count) {
  if (!function || count < 0 || count > kMaxCallWords) return 0;
  return kCallers[size_t(count)](function, words);
}

}  // namespace qavz::platform
