// The guard that keeps Windows from shutting down or suspending while a dialog waits.
#include "dialogs/shutdown_guard.h"

#include <cstdint>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

namespace fwu::dialogs {
namespace {

struct Request {
  std::uint32_t message;
  std::uintptr_t parameter;
  std::optional<std::intptr_t> refusal;  // empty: the guard lets it through
};

const std::vector<Request>& Requests() {
  static const std::vector<Request> kRequests{
      {platform::kWmQueryEndSession, 0, 0},
      {platform::kWmQueryEndSession, 0x80000000U, 0},  // log-off only
      {platform::kWmEndSession, 1, 0},
      {platform::kWmPower, platform::kPwrSuspendRequest, platform::kPwrFail},
      {platform::kWmPower, 2, std::nullopt},  // the suspend is already under way
      {platform::kWmPowerBroadcast, platform::kPbtApmQuerySuspend, platform::kBroadcastQueryDeny},
      {platform::kWmPowerBroadcast, platform::kPbtApmQueryStandby, platform::kBroadcastQueryDeny},
      {platform::kWmPowerBroadcast, 7, std::nullopt},  // resume notification
      {0x0010, 0, std::nullopt},                       // an ordinary close
  };
  return kRequests;
}

TEST(ShutdownGuard, RefusesExactlyTheFourRequestsUntilTheClosePermissionIsGiven) {
  ShutdownGuard guard;
  EXPECT_EQ(guard.ClosePermission(), 0);
  for (const Request& request : Requests()) {
    std::intptr_t answer = 12345;
    const bool answered = guard.Answer(request.message, request.parameter, answer);
    EXPECT_EQ(answered, request.refusal.has_value())
        << "message 0x" << std::hex << request.message << " parameter " << request.parameter;
    if (request.refusal) {
      EXPECT_EQ(answer, *request.refusal) << "message 0x" << std::hex << request.message;
    }
  }

  guard.AllowClose();
  EXPECT_EQ(guard.ClosePermission(), 1);
  for (const Request& request : Requests()) {
    std::intptr_t answer = 0;
    EXPECT_FALSE(guard.Answer(request.message, request.parameter, answer))
        << "message 0x" << std::hex << request.message << " after the choice";
  }
}

}  // namespace
}  // namespace fwu::dialogs
