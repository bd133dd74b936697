// The sound, MIDI, CD and media natives. Each is a ServiceRequest: the
// window thread, which owns the devices, runs the operation installed for
// the id (sound/services.cpp) and its result is the native's.
#include "core/service_request.h"
#include "sound/services.h"
#include "vm/native_table.h"

namespace qavz {

#define QAVZ_SERVICE_NATIVE(name, id) \
  int32_t Native_##name(Addr args) noexcept { return SendServiceRequest(id, args); }
QAVZ_SOUND_SERVICES(QAVZ_SERVICE_NATIVE)
#undef QAVZ_SERVICE_NATIVE

QAVZ_UNBUILT_NATIVE(cd_play)
QAVZ_UNBUILT_NATIVE(cd_stop)
QAVZ_UNBUILT_NATIVE(cd_pause)
QAVZ_UNBUILT_NATIVE(cd_replay)
QAVZ_UNBUILT_NATIVE(cd_setvol)
QAVZ_UNBUILT_NATIVE(cd_getvol)
QAVZ_UNBUILT_NATIVE(cd_isplay)
QAVZ_UNBUILT_NATIVE(cd_getpos)
QAVZ_UNBUILT_NATIVE(cd_getlen)
QAVZ_UNBUILT_NATIVE(cd_repeat)
QAVZ_UNBUILT_NATIVE(cd_eject)
QAVZ_UNBUILT_NATIVE(media_open)
QAVZ_UNBUILT_NATIVE(media_close)
QAVZ_UNBUILT_NATIVE(media_play)
QAVZ_UNBUILT_NATIVE(media_stop)
QAVZ_UNBUILT_NATIVE(media_pause)
QAVZ_UNBUILT_NATIVE(media_replay)
QAVZ_UNBUILT_NATIVE(media_isplay)
QAVZ_UNBUILT_NATIVE(media_repeat)
QAVZ_UNBUILT_NATIVE(media_size)
QAVZ_UNBUILT_NATIVE(media_setvol)

}  // namespace qavz
