#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "drive/pass_through_block.h"
#include "drive/transport.h"
#include "platform/locale.h"
#include "platform/pass_through_driver.h"

namespace fwu {

// Commands to a drive letter through the storage driver's pass-through request (NT family).
// Each attempt opens the device, sends one request and closes it again.
class PassThroughTransport final : public Transport {
 public:
  static constexpr std::uint32_t kCommandTimeoutSeconds = 7200;  // passed on, never used
  static constexpr std::size_t kSlots = 28;
  static constexpr std::uint8_t kScratchSlot = 27;
  static constexpr std::uint32_t kEnumerationTransferLimit = 65536;
  static constexpr std::uint32_t kTransferLimitWithoutCapabilities = 65536;
  static constexpr std::uint32_t kTransferLimitCap = 131072;

  PassThroughTransport(platform::PassThroughDriver& driver, const platform::Locale& locale);

  std::uint8_t Enumerate() override;
  std::string GetEntry(std::uint8_t index) const override;
  void Select(std::uint8_t index) override;

  std::uint32_t TransferLimit(std::uint8_t slot) const {
    return slot < kSlots ? transfer_limits_[slot] : 0;
  }

 protected:
  RequestStatus ExecuteOnce(const std::uint8_t* cdb, std::uint8_t cdb_length,
                            std::uint32_t timeout_seconds) override;

 private:
  std::uint32_t QueryTransferLimit(std::uint8_t slot);
  std::string DeviceName(std::uint8_t slot) const;
  std::string OpenFailureText(std::uint32_t error_code);
  std::string SystemMessageLine(std::uint32_t error_code);

  platform::PassThroughDriver& driver_;
  const platform::Locale& locale_;
  std::array<std::string, kSlots> entries_;
  std::array<bool, kSlots> busy_{};
  std::array<std::uint32_t, kSlots> transfer_limits_{};
  std::uint8_t count_ = 0;
  // Enumeration's INQUIRY buffer lives here, not on the stack: the data buffer it names stays
  // in force after Enumerate returns.
  std::array<std::uint8_t, 256> enumeration_data_{};
  PassThroughBlock block_;
};

}  // namespace fwu
