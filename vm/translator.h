// Program images translated to x86-64 machine code.
//
// A loaded image's code is translated a 4 KiB page at a time, when control
// first reaches the page, into host code that keeps r0-r7 in host
// registers. The translated code takes only the
// ordinary paths of each instruction; anything else (a fault, a trap, a
// store into code, memory outside the checked windows, a call into another
// image) leaves it at that instruction with the context exact, and the
// interpreter runs it. So every result is the interpreter's by construction.
#pragma once

#include <cstdint>

#include "vm/machine_context.h"

namespace qavz {

// On unless turned off: QAVZ_TRANSLATE=0 in the environment, or the host
// from the title's configuration ([qavz] Translate=0).
bool TranslationEnabled() noexcept;
void SetTranslationEnabled(bool on) noexcept;

// Prepares the translation of the code [base, base + codeSize) of the
// image at `base` whose program part is `programSize` bytes; its pages are
// translated as they first run. False (and nothing changed) when
// translation is off, the code cannot be translated or the system gives no
// executable memory; the interpreter then runs it.
bool TranslateImage(Addr base, uint32_t codeSize, uint32_t programSize) noexcept;
// Forgets the image's translation; called before the image block is freed.
void DropTranslation(Addr base) noexcept;
bool HasTranslation(Addr base) noexcept;
// True while some image has a translation.
bool AnyTranslation() noexcept;

// Instructions a translated slice may run while the application is active;
// StopFlag is also read at back-edges, calls and returns.
constexpr int kTranslatedSliceSteps = 1 << 16;

// Runs `steps` instructions of the context (fewer when a trap, a fault, a
// state change or StopFlag ends the slice), in translated code where the
// image has some and in the interpreter elsewhere; returns the fault kind as
// RunSlice does. Code without a translation gets an interpreter slice of at
// most 255 instructions, which ends the run unless `exactSteps` asks for
// every step, as RunSliceLoop(c, steps) would run them.
int RunTranslated(MachineContext* context, int steps, bool exactSteps);

}  // namespace qavz
