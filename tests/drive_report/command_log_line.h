#pragma once

#include <string>
#include <string_view>

#include "emulator/command_log.h"

namespace fwu::test {

// The drive's command log as a text file: one JSON object per line. A boot line opens each
// power-on of the drive (each process that builds one):
//   {"boot": "TEXT", "revision": "1029"}
// and one line follows for every attempt at a command, in order:
//   {"n": 1, "t_ms": 81234567, "cdb": "12 00 00 00 2c 00", "dir": "in", "len": 44, "moved": 36,
//    "status": 0, "sense": "", "page": "", "ms": 2, "completed": true, "faulted": false,
//    "misfit": ""}
// t_ms is the time the drive received the command (a monotonic clock, milliseconds), ms the
// time the drive says it took. sense is "key/asc/ascq" in hex with CHECK CONDITION, page the
// sub-command and argument of a page 0x88 ("c0/04"), misfit the data phase the drive found
// not to fit the command ("cdb-too-short", "wrong-direction", "buffer-too-short",
// "parameter-list-short").
std::string BootLogLine(std::string_view boot, std::string_view revision);
std::string CommandLogLine(const emulator::CommandRecord& record, unsigned number);

}  // namespace fwu::test
