// The SystemFile binding made by `sysfile`: a block of script memory written
// to its file when the services shut down (restart and exit).
#pragma once

#include <cstdint>
#include <string>

#include "vm/machine_context.h"

namespace qavz {

// An empty name clears the binding.
void BindSystemFile(const std::string& hostPath, Addr block, uint32_t size);

// Takes the block's current contents as the ones to save (no script runs any
// more; the shut-down steps after this may free its memory).
void CaptureSystemFile();
// Keeps a copy of the block when it lies in memory that freeing `context` is
// about to release, so the save at shut-down still has it.
void CaptureSystemFileBefore(const MachineContext* context);
// Writes the captured block over its file (through a temporary file, so a
// failed write keeps the previous save) and clears the binding.
void WriteSystemFile();

}  // namespace qavz
