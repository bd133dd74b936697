// Settings natives: profile strings in the title's own configuration file.
//
// Names and texts are taken whole, however long; a string with no terminator
// before the end of live memory is refused rather than written cut short.
#include <string>

#include "core/config.h"
#include "core/ini.h"
#include "platform/path_map.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

std::string ConfigFile() {
  const std::string& file = ThePaths().configFile;
  return file.empty() ? file : platform::MapPath(file);
}

bool ReadWhole(Addr a, std::string& out) { return TheArena().ReadString(a, out, 0xFFFFFFFFu); }

// Section and key strings; false for a missing one or an unknown file.
bool ReadNames(Addr args, std::string& file, std::string& section, std::string& key) {
  if (!ReadWhole(ArgAddr(args, 0), section) || !ReadWhole(ArgAddr(args, 1), key)) return false;
  file = ConfigFile();
  return !file.empty();
}

}  // namespace

int32_t Native_ini_seti(Addr args) {
  std::string file, section, key;
  if (!ReadNames(args, file, section, key)) return 0;
  return IniWriteString(file, section, key, std::to_string(Arg(args, 2))) ? 1 : 0;
}

int32_t Native_ini_sets(Addr args) {
  std::string file, section, key, text;
  if (!ReadNames(args, file, section, key) || !ReadWhole(ArgAddr(args, 2), text)) return 0;
  return IniWriteString(file, section, key, text) ? 1 : 0;
}

int32_t Native_ini_geti(Addr args) {
  int32_t fallback = Arg(args, 2);
  std::string file, section, key;
  if (!ReadNames(args, file, section, key)) return fallback;
  return IniGetInt(file, section, key, fallback);
}

// Copies at most size - 1 characters and a terminator; the count copied.
int32_t Native_ini_gets(Addr args) {
  Addr buffer = ArgAddr(args, 3);
  int32_t size = Arg(args, 4);
  if (!buffer || size <= 0) return 0;
  std::string file, section, key, fallback, value;
  Addr fallbackAddr = ArgAddr(args, 2);
  if (fallbackAddr && !ReadWhole(fallbackAddr, fallback)) return 0;
  value = ReadNames(args, file, section, key) ? IniGetString(file, section, key, fallback) : fallback;
  if (value.size() > size_t(size - 1)) value.resize(size_t(size - 1));
  return TheArena().WriteString(buffer, value.data(), value.size()) ? int32_t(value.size()) : 0;
}

}  // namespace qavz
