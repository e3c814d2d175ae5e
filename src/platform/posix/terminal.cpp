#include "platform/posix/terminal.h"

#include <unistd.h>

namespace fwu::posix {

bool StandardOutputIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace fwu::posix
