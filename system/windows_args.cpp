#include "system/windows_args.h"

#include <cstdint>

namespace qavz {

namespace {

bool IsLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program name: up to the next quote when it starts with one, else up to
// the first blank; nothing in it is an escape.
size_t ProgramName(const std::string& line, std::string& name) {
  size_t i = 0;
  if (i < line.size() && line[i] == '"') {
    size_t end = line.find('"', 1);
    name = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    i = end == std::string::npos ? line.size() : end + 1;
  } else {
    while (i < line.size() && !IsBlank(line[i])) ++i;
    name = line.substr(0, i);
  }
  return i;
}

}  // namespace

// After the name: blanks outside quotes end an argument. 2n backslashes and
// a quote give n backslashes and open or close quoting; 2n + 1 give n and a
// literal quote; backslashes before anything else are literal. Within
// quotes, a quote that closes them and a quote right after it make a literal
// quote and leave the quoting closed.
std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args(1);
  size_t i = ProgramName(line, args[0]);
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i >= line.size()) return args;
  std::string arg;
  bool quoted = false;
  size_t backslashes = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == '\\') {
      ++backslashes;
      ++i;
      continue;
    }
    if (c == '"') {
      arg.append(backslashes / 2, '\\');
      bool literal = backslashes % 2 == 1;
      backslashes = 0;
      ++i;
      if (literal) {
        arg.push_back('"');
        continue;
      }
      if (quoted && i < line.size() && line[i] == '"') {
        arg.push_back('"');
        ++i;
        quoted = false;
        continue;
      }
      quoted = !quoted;
      continue;
    }
    arg.append(backslashes, '\\');
    backslashes = 0;
    if (IsBlank(c) && !quoted) {
      args.push_back(std::move(arg));
      arg.clear();
      while (i < line.size() && IsBlank(line[i])) ++i;
      if (i == line.size()) return args;  // blanks at the end start nothing
      continue;
    }
    arg.push_back(c);
    ++i;
    // The second byte of a double-byte character is never a backslash or
    // a quote of the line.
    if (IsLeadByte(uint8_t(c)) && i < line.size()) arg.push_back(line[i++]);
  }
  arg.append(backslashes, '\\');
  args.push_back(std::move(arg));
  return args;
}

}  // namespace qavz
