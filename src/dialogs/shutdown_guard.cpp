#include "dialogs/shutdown_guard.h"

#include <algorithm>
#include <array>
#include <optional>

namespace fwu::dialogs {

namespace {

// One request the guard refuses: the message, the parameter it must carry (any when empty)
// and the refusal.
struct Refusal {
  std::uint32_t message = 0;
  std::optional<std::uintptr_t> parameter;
  std::intptr_t answer = 0;
};

constexpr std::array<Refusal, 5> kRefusals{{
    {platform::kWmQueryEndSession, std::nullopt, 0},
    {platform::kWmEndSession, std::nullopt, 0},
    {platform::kWmPower, platform::kPwrSuspendRequest, platform::kPwrFail},
    {platform::kWmPowerBroadcast, platform::kPbtApmQuerySuspend, platform::kBroadcastQueryDeny},
    {platform::kWmPowerBroadcast, platform::kPbtApmQueryStandby, platform::kBroadcastQueryDeny},
}};

}  // namespace

bool ShutdownGuard::Answer(std::uint32_t message, std::uintptr_t parameter,
                           std::intptr_t& answer) const {
  if (close_permission_ != 0) {
    return false;
  }
  const auto* refusal = std::find_if(kRefusals.begin(), kRefusals.end(), [&](const Refusal& r) {
    return r.message == message && (!r.parameter || *r.parameter == parameter);
  });
  if (refusal == kRefusals.end()) {
    return false;
  }
  answer = refusal->answer;
  return true;
}

}  // namespace fwu::dialogs
