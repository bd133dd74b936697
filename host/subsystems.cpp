#include "host/subsystems.h"

#include "compiler/compiler.h"
#include "files/exp_file.h"
#include "host/message_queue.h"
#include "host/native_table.h"
#include "host/services.h"
#include "host/video_window.h"
#include "host/window_system.h"
#include "host/window_view.h"
#include "input/input_devices.h"
#include "net/session.h"
#include "sound/services.h"
#include "vm/native_dispatch.h"

namespace qavz {

void ConnectSubsystems() noexcept {
  InstallNativeTable(kNativeTable);
  InstallFileLoader();
  InstallServiceRequests();
  for (const SoundService& service : SoundServices()) SetServiceOperation(service.id, service.operation);
  InstallSoundHooks();
  for (const InputService& service : InputServices()) SetServiceOperation(service.id, service.operation);
  InstallCompiler();
  InstallWindowView();
  InstallVideoWindow();
  // The window thread answers its messages while it waits for the network
  // thread, which may be waiting for an error box.
  SetNetworkWaitPump([] {
    if (OnMainThread()) PumpMainMessages();
  });
  InstallWindowSystem();
}

}  // namespace qavz
