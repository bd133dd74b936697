#include "net/host_lookup.h"

#include <memory>
#include <mutex>
#include <thread>

#include "platform/clock.h"

namespace qavz {

namespace {

struct LookupJob {
  std::mutex lock;
  bool done = false;
  bool found = false;
  std::vector<platform::SocketAddress> addresses;
};

}  // namespace

Lookup LookUpHost(platform::SocketApi& api, const std::string& host,
                  std::vector<platform::SocketAddress>* out, const std::atomic<bool>& keepGoing) {
  platform::SocketAddress numeric;
  if (api.ParseAddress(host, &numeric)) {
    *out = {numeric};
    return Lookup::kFound;
  }
  auto job = std::make_shared<LookupJob>();
  try {
    std::thread([job, &api, host] {
      std::vector<platform::SocketAddress> found;
      platform::SocketError error = platform::SocketError::kNone;
      bool ok = api.Resolve(host, &found, &error);
      std::lock_guard lock(job->lock);
      job->found = ok;
      job->addresses = std::move(found);
      job->done = true;
    }).detach();
  } catch (...) {
    return Lookup::kNotFound;
  }
  while (keepGoing.load()) {
    {
      std::lock_guard lock(job->lock);
      if (job->done) {
        if (!job->found) return Lookup::kNotFound;
        *out = std::move(job->addresses);
        return Lookup::kFound;
      }
    }
    platform::SleepMilliseconds(1);
  }
  return Lookup::kAbandoned;
}

}  // namespace qavz
