#include "core/service_request.h"

#include <atomic>

namespace qavz {

namespace {
std::atomic<decltype(ServiceSender::fromArgs)> gFromArgs{nullptr};
std::atomic<decltype(ServiceSender::explicitParams)> gExplicit{nullptr};
}  // namespace

void InstallServiceSender(const ServiceSender& sender) noexcept {
  gFromArgs.store(sender.fromArgs);
  gExplicit.store(sender.explicitParams);
}

int32_t SendServiceRequest(uint32_t id, uint32_t args) noexcept {
  auto send = gFromArgs.load();
  return send ? send(id, args) : 0;
}

int32_t SendServiceRequest(uint32_t id, int32_t wParam, int32_t lParam) noexcept {
  auto send = gExplicit.load();
  return send ? send(id, wParam, lParam) : 0;
}

}  // namespace qavz
