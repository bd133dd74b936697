// The assembly listing: the generated program in assembler notation with
// the source interleaved, written to "<base name>.txt" in the current directory.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "compiler/internal.h"

namespace qavz::compiler {

bool ListingSwitch = false;
bool EchoSwitch = false;
bool ListingActive = false;

namespace {
std::FILE* ListingFile = nullptr;
}

bool ListingOpen() { return ListingFile != nullptr; }

void OpenListing(const char* sourcePath) {
  const char* base = sourcePath;
  for (const char* p = sourcePath; *p; ++p)
    if (*p == '\\' || *p == '/') base = p + 1;
  char name[kPathBytes + 8];
  std::snprintf(name, sizeof name, "%s", base);
  if (char* dot = std::strrchr(name, '.')) *dot = 0;
  std::strncat(name, ".txt", sizeof name - std::strlen(name) - 1);
  ListingFile = std::fopen(name, "w");
  ListingActive = ListingFile != nullptr;
}

void CloseListing() {
  if (ListingFile) std::fclose(ListingFile);
  ListingFile = nullptr;
  ListingActive = false;
}

const char* InstructionFormat(const char* mnemonic, const char* suffix, const char* operands) {
  static char format[64];
  int n = std::snprintf(format, sizeof format, "\t%s%s", mnemonic, suffix);
  const char* tabs = *operands == 0 ? "" : n < 5 ? "\t\t" : "\t";
  std::snprintf(format + n, sizeof format - size_t(n), "%s%s\n", tabs, operands);
  return format;
}

// Each line is formatted into 1,024 bytes and written at once; source echoes
// (formats starting with '*') only when the echo switch is on.
void ListFormat(const char* format, ...) {
  if (!ListingFile) return;
  if (format[0] == '*' && !EchoSwitch) return;
  char line[kMessageBytes];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fputs(line, ListingFile);
}

}  // namespace qavz::compiler
