// Connects the layers: the subsystems below the host reach the host, and each
// other, only through interfaces declared lower down (core/, vm/); this is
// where the implementations are plugged in, once, before anything runs.
#pragma once

namespace qavz {

// The native table into the dispatcher, the file layer as the data-file
// loader, the service-request table as the request sender with the device
// operations behind its ids (sound and input) and the media's display-switch
// hook, the compiler as the program loader, the main window as the graphics
// natives' window and as the media's video window. Idempotent.
void ConnectSubsystems() noexcept;

}  // namespace qavz
