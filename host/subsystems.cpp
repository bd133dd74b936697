#include "host/subsystems.h"

#include "compiler/compiler.h"
#include "files/exp_file.h"
#include "host/native_table.h"
#include "host/services.h"
#include "host/video_window.h"
#include "host/window_view.h"
#include "sound/services.h"
#include "vm/native_dispatch.h"

namespace qavz {

void ConnectSubsystems() noexcept {
  InstallNativeTable(kNativeTable);
  InstallFileLoader();
  InstallServiceRequests();
  for (const SoundService& service : SoundServices()) SetServiceOperation(service.id, service.operation);
  InstallSoundHooks();
  InstallCompiler();
  InstallWindowView();
  InstallVideoWindow();
}

}  // namespace qavz
