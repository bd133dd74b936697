// Pack archives: "QAVZPK01", a little-endian entry count N, N directory
// entries of 40 bytes (name NUL-terminated in 32 bytes, absolute offset,
// size), then the member data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qavz {

constexpr char kPackMagic[8] = {'Q', 'A', 'V', 'Z', 'P', 'K', '0', '1'};
constexpr uint32_t kPackHeaderSize = 12;
constexpr uint32_t kPackEntrySize = 40;
constexpr uint32_t kPackNameSize = 32;  // with its terminator: 31 characters at most

// A Shift-JIS lead byte: the byte after it is its trail, which may be 0x5C
// ('\') and is then no separator.
inline bool IsShiftJisLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The parts of a member name between its separators ('\' or '/', read with
// the lead-byte rule above). False when a part is empty, "." or "..": such
// a name would leave the folder it is unpacked into.
bool SplitMemberName(std::string_view name, std::vector<std::string>& parts);

// The order archives are sorted in: case-insensitive, punctuation before
// digits before letters the way the archive builders' platform sorts file
// names, '-' and '\'' weighing only when all else is equal, Shift-JIS double
// bytes as units after single bytes. 0 only for names equal without case.
int PackNameCompare(std::string_view a, std::string_view b);
// Equality without ASCII case (Shift-JIS trail bytes compare exactly).
bool PackNameEqual(std::string_view a, std::string_view b);

// Header check: magic and a count whose directory fits in `archiveSize`.
// False for a wrong magic, a negative count or a directory past the end.
bool ReadPackHeader(const uint8_t header[kPackHeaderSize], uint64_t archiveSize, int32_t& count);

struct PackMember {
  uint32_t offset;
  uint32_t size;
};

enum class PackLookup { kFound, kNotFound, kBadArchive };

// Finds `name` in the `count` entries at `entries` by binary search, then,
// when that misses (an archive sorted by another collation), by a scan.
// kBadArchive when an entry the search reads has a name without terminator,
// or the member's data runs past `archiveSize`.
PackLookup FindPackMember(const uint8_t* entries, int32_t count, uint64_t archiveSize, std::string_view name,
                          PackMember& member);

// The name stored in a directory entry (up to its terminator).
std::string_view PackEntryName(const uint8_t* entry);

}  // namespace qavz
