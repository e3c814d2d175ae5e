#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/tape.h"

namespace fwu::fuzz {

// A failed command as a recording describes it.
struct StatusScenario {
  std::string command_name;
  std::uint8_t result = 0x04;  // SS_ERR
  std::uint8_t host_status = 0;
  std::uint8_t target_status = 0x02;  // CHECK CONDITION
  std::array<std::uint8_t, 24> sense{};
  std::vector<std::uint8_t> inquiry;  // data a drive returned, of any length
  std::string version;                // a revision or version text
};

// Every status and sense lookup of both text sets, both composers, and the identity and
// revision helpers over a failure and drive data taken from the tape. None may fail: each
// gives a text, within its field; a composed text begins as its transport's rule says, and an
// unexpected completion code alone reaches the user. With a scenario the tape is recorded.
void RunStatusTexts(Tape& tape, const StatusScenario* scenario = nullptr);

}  // namespace fwu::fuzz
