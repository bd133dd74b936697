#include "core/service_request.h"

#include <atomic>

namespace qavz {

namespace {
std::atomic<decltype(ServiceSender::fromArgs)> gFromArgs{nullptr};
std::atomic<decltype(ServiceSender::explicitParams)> gExplicit{nullptr};
std::atomic<decltype(ServiceSender::onWindowThread)> gOnWindow{nullptr};
}  // namespace

void InstallServiceSender(const ServiceSender& sender) noexcept {
  gFromArgs.store(sender.fromArgs);
  gExplicit.store(sender.explicitParams);
  gOnWindow.store(sender.onWindowThread);
}

int32_t SendServiceRequest(uint32_t id, uint32_t args) noexcept {
  auto send = gFromArgs.load();
  return send ? send(id, args) : 0;
}

int32_t SendServiceRequest(uint32_t id, int32_t wParam, int32_t lParam) noexcept {
  auto send = gExplicit.load();
  return send ? send(id, wParam, lParam) : 0;
}

int32_t RunOnWindowThread(WindowCall call, int32_t a, int32_t b) noexcept {
  if (!call) return 0;
  auto run = gOnWindow.load();
  return run ? run(call, a, b) : call(a, b);
}

}  // namespace qavz
