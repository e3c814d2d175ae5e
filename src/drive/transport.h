#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "drive/command_set.h"
#include "drive/scsi_request.h"
#include "drive/trace.h"
#include "resources/format.h"

namespace fwu {

// What both transports share: the request of the last command, the command set with its exact
// bytes, the retry rule and the trace points. A transport adds one attempt at a command
// (ExecuteOnce) and its own drive discovery.
class Transport {
 public:
  virtual ~Transport() = default;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Discovery: rebuilds the drive list and returns the number of entries.
  virtual std::uint8_t Enumerate() = 0;
  virtual std::string GetEntry(std::uint8_t index) const = 0;
  virtual void Select(std::uint8_t index) = 0;

  // The caller's buffer of the following commands; it stays in force until set again.
  void SetDataBuffer(std::uint8_t* data, std::uint32_t length);
  void GetLastAscAscq(std::uint8_t& asc, std::uint8_t& ascq) const;
  std::string GetErrorText() const { return request_.error_text; }
  const ScsiRequest& Request() const { return request_; }

  RequestStatus TestUnitReady();
  RequestStatus Inquiry(std::uint8_t allocation_length);
  RequestStatus StartStopUnit(std::uint8_t start, std::uint8_t immed, std::uint8_t loej);
  RequestStatus ReceiveDiagnosticResults(std::uint16_t allocation_length);
  RequestStatus SendDiagnostic(std::uint8_t self_test_bits, std::uint16_t parameter_list_length);
  RequestStatus PreventAllowMediumRemoval(std::uint8_t prevent);
  RequestStatus Read10(std::uint32_t block_address, std::uint16_t block_count, std::uint8_t fua,
                       std::uint8_t reladr);

  // Raw CDBs; a time-out of 0 takes the transport's default. Byte 1 receives the LUN bits.
  RequestStatus ExecuteCdb6(std::uint8_t* cdb, std::uint32_t timeout_seconds);
  RequestStatus ExecuteCdb10(std::uint8_t* cdb, std::uint32_t timeout_seconds);
  RequestStatus ExecuteCdb12(std::uint8_t* cdb, std::uint32_t timeout_seconds);

  std::uint32_t DefaultTimeoutSeconds() const { return default_timeout_seconds_; }

  // Trace output goes nowhere unless a sink is set.
  void SetTraceSink(TraceSink* sink) { trace_ = sink; }

  static constexpr int kMaxAttempts = 7;

 protected:
  // names_commands: the ASPI transport names each command in its error texts; pass-through
  // leaves the name empty.
  Transport(std::uint32_t default_timeout_seconds, bool names_commands);

  // One attempt, transport-specific. It fills the request's status bytes, sense and error text.
  virtual RequestStatus ExecuteOnce(const std::uint8_t* cdb, std::uint8_t cdb_length,
                                    std::uint32_t timeout_seconds) = 0;

  // For a transport that reports the drive's status itself (not through the ASPI library's
  // record): clears the status bytes and sense the last command left, notes the new command's
  // direction, and returns the length of data it moves.
  std::uint32_t BeginDriveAttempt(const std::uint8_t* cdb);
  // Ends an attempt that failed, with the text that says why.
  RequestStatus Fail(RequestStatus result, std::string text) {
    request_.error_text = std::move(text);
    return result;
  }

  template <typename... Fields>
  void Trace(const char* format, Fields... fields) {
    if (trace_ != nullptr) {
      trace_->Write(FormatText(format, fields...));
    }
  }
  bool Tracing() const { return trace_ != nullptr; }

  ScsiRequest request_;

 private:
  RequestStatus ExecuteCommand(Cdb cdb, std::string name);
  RequestStatus ExecuteWithRetries(std::uint8_t* cdb, std::uint8_t cdb_length,
                                   std::uint32_t timeout_seconds);

  std::uint32_t default_timeout_seconds_;
  bool names_commands_;
  TraceSink* trace_ = nullptr;
};

}  // namespace fwu
