// Calls from one program image into another: a program that declares
// `extern` functions lets later programs of the run call them by address.
// The defining image may be freed and its addresses handed out again (to a
// heap block, or to another program's code); a call made through such a
// stale address must fault instead of running whatever lives there now.
//
// Every image gets a generation number when it is created. When the compiler
// links a call to another image's function it records, for the calling image,
// which image (and generation) the target belonged to; a call that leaves its
// own image is then allowed only while that image is still the one it was.
#pragma once

#include <cstdint>

#include "vm/arena.h"

namespace qavz {

// An image block was created or is about to be freed.
void RegisterImage(Addr base, uint32_t size) noexcept;
void ForgetImage(Addr base) noexcept;

// The live image holding `address`, with its generation; false if none.
bool ImageOf(Addr address, Addr* base, uint32_t* generation) noexcept;

// Code of image `caller` calls (or takes the address of) `target`, which the
// linker found in image `owner` of generation `generation`.
void ExpectForeignTarget(Addr caller, Addr target, Addr owner, uint32_t generation) noexcept;

// For a call from image `caller` to `target` outside it: false when the
// linker bound that target to an image that is gone or was replaced.
bool ForeignCallAllowed(Addr caller, Addr target) noexcept;

}  // namespace qavz
