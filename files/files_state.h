// Per-run tables of the file natives, emptied by the service hooks.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "vm/arena.h"

namespace qavz {

void ClosePackSlots();    // the 16 pack files
void FreeHeapBlocks();    // the 256 heap-table blocks
void ForgetSystemFile();  // sysio's view of the SystemFile binding

// The heap table as malloc uses it: a block of `size` bytes in the first
// free entry, or 0 when the table is full or memory is short.
Addr HeapAlloc(uint32_t size);

// Windows attribute bits of a file: read-only 0x01, hidden 0x02 (dot
// names), directory 0x10, archive 0x20 (every plain file).
uint32_t FileAttributes(const std::string& name, const platform::FileFacts& facts);

}  // namespace qavz
