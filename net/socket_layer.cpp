#include "net/socket_layer.h"

#include "core/config.h"
#include "core/report_error.h"
#include "net/messages.h"
#include "net/session.h"
#include "platform/devices.h"

namespace qavz {

using platform::Device;

// The system's sockets need no start and come in one version, so the
// version message of old cannot arise here.
void StartSocketLayer() noexcept {
  if (!platform::OpenDevice(Device::kNetwork, Headless()))
    ReportError(kLevelFault, "%s", msg::kSocketLayerFailed);
}

void StopSocketLayer() noexcept {
  CloseSession();
  platform::CloseDevice(Device::kNetwork);
}

bool SocketLayerStarted() noexcept { return platform::DeviceOpen(Device::kNetwork); }

}  // namespace qavz
