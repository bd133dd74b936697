// Profile-string files: the configuration and the settings natives share them.
//
// Section and key names compare without case; values are trimmed; integers
// read an optional sign and leading digits; an absent key gives the default.
// Writing keeps every other line of the file and replaces it atomically
// (temporary file renamed over the original).
#pragma once

#include <cstdint>
#include <string>

namespace qavz {

// Paths are host paths (already mapped).
bool IniRead(const std::string& file, const std::string& section, const std::string& key, std::string& value);
std::string IniGetString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback);
int32_t IniGetInt(const std::string& file, const std::string& section, const std::string& key,
                  int32_t fallback);
// Creates the file, section or key when missing. False when it cannot write.
bool IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);

}  // namespace qavz
