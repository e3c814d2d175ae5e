#include "drive/command_set.h"

#include "resources/format.h"

namespace fwu {

std::string AspiCommandName(std::uint8_t operation_code, std::uint32_t first,
                            std::uint32_t second) {
  const CommandInfo* command = FindCommand(operation_code);
  if (command == nullptr) {
    return {};
  }
  const std::string format(command->aspi_name);
  return FormatText(format.c_str(), first, second);
}

}  // namespace fwu
