#pragma once

#include <cstdint>

namespace fwu {

// The one-byte result of every drive command. Both transports speak the ASPI completion-code
// space; the codes above 0xFC are the program's own.
enum class RequestStatus : std::uint8_t {
  SS_PENDING = 0x00,        // did not complete within the time-out
  SS_COMP = 0x01,           // success
  SS_ABORTED = 0x02,        // aborted
  SS_ABORT_FAIL = 0x03,     // abort failed
  SS_ERR = 0x04,            // completed with an error; status bytes and sense tell more
  SS_INVALID_HA = 0x81,     // invalid host adapter
  SS_NO_DEVICE = 0x82,      // no device at the address
  SS_INVALID_SRB = 0xE0,    // invalid request record
  SS_FAILED_INIT = 0xE4,    // the ASPI library is not bound
  SS_ASPI_IS_BUSY = 0xE5,   // library busy
  SS_BUFFER_TO_BIG = 0xE6,  // data length above the limit
  RS_TARGET_BUSY = 0xFD,    // a request for the address is already in flight
  RS_NO_MEMORY = 0xFE,      // the request record cannot be allocated
  RS_COMPARE_ERROR = 0xFF,  // data compare error (has a text; nothing produces it)
};

constexpr std::uint8_t ToByte(RequestStatus status) {
  return static_cast<std::uint8_t>(status);
}

// A command has succeeded when its status is SS_COMP, and only then.
constexpr bool Succeeded(RequestStatus status) {
  return status == RequestStatus::SS_COMP;
}

}  // namespace fwu
