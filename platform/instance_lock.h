// The single-instance rule: a per-user lock that stands for "QAVZ_MUTEX".
//
// The lock is an abstract Unix socket named after the mutex and the user, so
// it is gone the moment its process ends, however it ends. The socket also
// carries the one request a second instance makes: restore and raise your
// window.
#pragma once

namespace qavz::platform {

enum class InstanceLockResult { kOwned, kAnotherRuns, kFailed };

// Takes the lock `name` for this user. When another process holds it, asks
// that process to restore and raise its window and returns kAnotherRuns.
// While this process holds it, `onRaiseRequest` is called (on a thread of
// the lock's own) for every such request.
InstanceLockResult AcquireInstanceLock(const char* name, void (*onRaiseRequest)());
// Gives the lock up; nothing happens when it is not held.
void ReleaseInstanceLock();

}  // namespace qavz::platform
