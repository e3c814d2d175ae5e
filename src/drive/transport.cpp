#include "drive/transport.h"

#include "drive/staging.h"

namespace fwu {

Transport::Transport(std::uint32_t default_timeout_seconds, bool names_commands)
    : default_timeout_seconds_(default_timeout_seconds), names_commands_(names_commands) {}

void Transport::SetDataBuffer(std::uint8_t* data, std::uint32_t length) {
  request_.data = data;
  request_.data_length = length;
  Trace("%p %ld\n", static_cast<void*>(data), static_cast<long>(length));
}

std::uint32_t Transport::BeginDriveAttempt(const std::uint8_t* cdb) {
  request_.host_status = 0;
  request_.target_status = 0;
  request_.sense.fill(0);
  request_.sense_length = 0;
  request_.direction = DataDirectionOf(cdb[0]);
  return StagedLength(request_, cdb[0]);
}

void Transport::GetLastAscAscq(std::uint8_t& asc, std::uint8_t& ascq) const {
  asc = request_.Asc();
  ascq = request_.Ascq();
}

RequestStatus Transport::TestUnitReady() {
  return ExecuteCommand(TestUnitReadyCdb(), AspiCommandName(opcode::kTestUnitReady));
}

RequestStatus Transport::Inquiry(std::uint8_t allocation_length) {
  return ExecuteCommand(InquiryCdb(allocation_length), AspiCommandName(opcode::kInquiry));
}

RequestStatus Transport::StartStopUnit(std::uint8_t start, std::uint8_t immed, std::uint8_t loej) {
  return ExecuteCommand(StartStopUnitCdb(start, immed, loej),
                        AspiCommandName(opcode::kStartStopUnit, start, loej));
}

RequestStatus Transport::ReceiveDiagnosticResults(std::uint16_t allocation_length) {
  return ExecuteCommand(ReceiveDiagnosticResultsCdb(allocation_length),
                        AspiCommandName(opcode::kReceiveDiagnosticResults));
}

RequestStatus Transport::SendDiagnostic(std::uint8_t self_test_bits,
                                        std::uint16_t parameter_list_length) {
  return ExecuteCommand(SendDiagnosticCdb(self_test_bits, parameter_list_length),
                        AspiCommandName(opcode::kSendDiagnostic));
}

RequestStatus Transport::PreventAllowMediumRemoval(std::uint8_t prevent) {
  return ExecuteCommand(PreventAllowMediumRemovalCdb(prevent),
                        AspiCommandName(opcode::kPreventAllowMediumRemoval));
}

RequestStatus Transport::Read10(std::uint32_t block_address, std::uint16_t block_count,
                                std::uint8_t fua, std::uint8_t reladr) {
  return ExecuteCommand(Read10Cdb(block_address, block_count, fua, reladr),
                        AspiCommandName(opcode::kRead10, block_address, block_count));
}

RequestStatus Transport::ExecuteCdb6(std::uint8_t* cdb, std::uint32_t timeout_seconds) {
  return ExecuteWithRetries(cdb, 6, timeout_seconds);
}

RequestStatus Transport::ExecuteCdb10(std::uint8_t* cdb, std::uint32_t timeout_seconds) {
  return ExecuteWithRetries(cdb, 10, timeout_seconds);
}

RequestStatus Transport::ExecuteCdb12(std::uint8_t* cdb, std::uint32_t timeout_seconds) {
  return ExecuteWithRetries(cdb, 12, timeout_seconds);
}

RequestStatus Transport::ExecuteCommand(Cdb cdb, std::string name) {
  if (names_commands_) {
    request_.command_name = std::move(name);
  }
  return ExecuteWithRetries(cdb.bytes.data(), cdb.length, default_timeout_seconds_);
}

RequestStatus Transport::ExecuteWithRetries(std::uint8_t* cdb, std::uint8_t cdb_length,
                                            std::uint32_t timeout_seconds) {
  if (timeout_seconds == 0) {
    timeout_seconds = default_timeout_seconds_;
  }
  cdb[1] = static_cast<std::uint8_t>((cdb[1] & 0x1FU) | (request_.address.lun << 5U));
  if (Tracing()) {
    if (cdb_length == 6) {
      Trace("CDB6 = %02x %02x %02x %02x %02x %02x  ", cdb[0], cdb[1], cdb[2], cdb[3], cdb[4],
            cdb[5]);
    } else if (cdb_length == 10) {
      Trace("CDB10 = %02x %02x %02x %02x %02x %02x %02x %02x %02x %02x  ", cdb[0], cdb[1], cdb[2],
            cdb[3], cdb[4], cdb[5], cdb[6], cdb[7], cdb[8], cdb[9]);
    } else {
      Trace("CDB12=%02x %02x %02x %02x %02x %02x %02x %02x %02x %02x %02x %02x  ", cdb[0], cdb[1],
            cdb[2], cdb[3], cdb[4], cdb[5], cdb[6], cdb[7], cdb[8], cdb[9], cdb[10], cdb[11]);
    }
  }
  // At most seven attempts; only UNIT ATTENTION is retried, and at once: it reports a past event
  // (reset, medium change, new firmware), not a state that waiting would change.
  for (int attempt = 1;; ++attempt) {
    const RequestStatus result = ExecuteOnce(cdb, cdb_length, timeout_seconds);
    request_.completion = result;
    if (result == RequestStatus::SS_COMP || attempt == kMaxAttempts ||
        request_.SenseKey() != kSenseKeyUnitAttention) {
      return result;
    }
    Trace("\r\n    Status %s Retry! ", request_.error_text.c_str());
  }
}

}  // namespace fwu
