#pragma once

namespace fwu::posix {

// Whether the program's standard output reaches a terminal (not a file or a pipe).
bool StandardOutputIsTerminal();

}  // namespace fwu::posix
