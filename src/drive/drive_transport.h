#pragma once

#include <cstdint>
#include <string>

#include "drive/transport.h"

namespace fwu {

// The one object every drive command goes through. It holds both transports and forwards to
// the one TransportMode selects, so nothing above it knows which one serves.
class DriveTransport {
 public:
  static constexpr std::uint8_t kModeAspi = 0;
  static constexpr std::uint8_t kModePassThrough = 1;

  DriveTransport(Transport& aspi, Transport& pass_through)
      : aspi_(aspi), pass_through_(pass_through) {}
  // A system with one way to its drives: the same transport serves either mode.
  explicit DriveTransport(Transport& only) : aspi_(only), pass_through_(only) {}

  // 0 selects ASPI (the value after construction); any other value selects pass-through.
  void SetTransportMode(std::uint8_t mode) { mode_ = mode; }
  std::uint8_t TransportMode() const { return mode_; }

  Transport& Selected() { return mode_ == kModeAspi ? aspi_ : pass_through_; }
  const Transport& Selected() const { return mode_ == kModeAspi ? aspi_ : pass_through_; }

  std::uint8_t Enumerate() { return Selected().Enumerate(); }
  std::string GetEntry(std::uint8_t index) const { return Selected().GetEntry(index); }
  void Select(std::uint8_t index) { Selected().Select(index); }
  void SetDataBuffer(std::uint8_t* data, std::uint32_t length) {
    Selected().SetDataBuffer(data, length);
  }
  void GetLastAscAscq(std::uint8_t& asc, std::uint8_t& ascq) const {
    Selected().GetLastAscAscq(asc, ascq);
  }
  std::string GetErrorText() const { return Selected().GetErrorText(); }

  RequestStatus TestUnitReady() { return Selected().TestUnitReady(); }
  RequestStatus Inquiry(std::uint8_t allocation_length) {
    return Selected().Inquiry(allocation_length);
  }
  RequestStatus StartStopUnit(std::uint8_t start, std::uint8_t immed, std::uint8_t loej) {
    return Selected().StartStopUnit(start, immed, loej);
  }
  RequestStatus ReceiveDiagnosticResults(std::uint16_t allocation_length) {
    return Selected().ReceiveDiagnosticResults(allocation_length);
  }
  RequestStatus SendDiagnostic(std::uint8_t self_test_bits, std::uint16_t parameter_list_length) {
    return Selected().SendDiagnostic(self_test_bits, parameter_list_length);
  }
  RequestStatus PreventAllowMediumRemoval(std::uint8_t prevent) {
    return Selected().PreventAllowMediumRemoval(prevent);
  }
  RequestStatus Read10(std::uint32_t block_address, std::uint16_t block_count, std::uint8_t fua,
                       std::uint8_t reladr) {
    return Selected().Read10(block_address, block_count, fua, reladr);
  }
  RequestStatus ExecuteCdb6(std::uint8_t* cdb, std::uint32_t timeout_seconds) {
    return Selected().ExecuteCdb6(cdb, timeout_seconds);
  }
  RequestStatus ExecuteCdb10(std::uint8_t* cdb, std::uint32_t timeout_seconds) {
    return Selected().ExecuteCdb10(cdb, timeout_seconds);
  }
  RequestStatus ExecuteCdb12(std::uint8_t* cdb, std::uint32_t timeout_seconds) {
    return Selected().ExecuteCdb12(cdb, timeout_seconds);
  }

 private:
  Transport& aspi_;
  Transport& pass_through_;
  std::uint8_t mode_ = kModeAspi;
};

}  // namespace fwu
