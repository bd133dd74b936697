// The socket layer, started at host start-up when "Net" is on and cleaned
// up at exit. A server needs it; a client without it fails to connect.
#pragma once

namespace qavz {

void StartSocketLayer() noexcept;
// Ends the session in progress first.
void StopSocketLayer() noexcept;
bool SocketLayerStarted() noexcept;

}  // namespace qavz
