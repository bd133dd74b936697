// The sound, MIDI, CD and media natives. Each is a ServiceRequest: the
// window thread, which owns the devices, runs the operation installed for
// the id (sound/services.cpp) and its result is the native's.
#include "core/service_request.h"
#include "sound/services.h"
#include "vm/native_table.h"

namespace qavz {

#define QAVZ_SERVICE_NATIVE(name, id) \
  int32_t Native_##name(Addr args) { return SendServiceRequest(id, args); }
QAVZ_SOUND_SERVICES(QAVZ_SERVICE_NATIVE)
#undef QAVZ_SERVICE_NATIVE

}  // namespace qavz
