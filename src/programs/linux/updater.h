#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "drive/device_node_transport.h"
#include "drive/drive_transport.h"
#include "programs/linux/command_line.h"
#include "programs/linux/drive_listing.h"
#include "programs/linux/environment.h"
#include "resources/message_language.h"
#include "resources/text_pair.h"
#include "update/firmware_image.h"

namespace fwu::linux_program {

// The command-line updater: finds the drives, lists them or leads the user through one update
// (terms, choice, confirmation, the download with its safety measures, the check of the new
// firmware), and returns the process's exit code.
class Updater {
 public:
  explicit Updater(Environment& environment, std::span<const FirmwareImage> images = ImageList());

  // The arguments after the program's name.
  int Run(std::span<const std::string> arguments);

 private:
  int List(const Options& options);
  int Update(const Options& options);
  // From the reservation of the drive to the end of the update; signals are deferred.
  int UpdateReserved(const Options& options, const ListedDrive& drive);
  int Download(const ListedDrive& drive, const FirmwareImage& image);
  int Verify(const ListedDrive& drive, const FirmwareImage& image);

  std::optional<ListedDrive> ChooseDrive(const std::vector<ListedDrive>& candidates,
                                         const Options& options);
  bool AcceptTerms();
  // Prints the prompt and reads the answer: true for "y" or "yes".
  bool Ask(std::string_view prompt);
  int Refuse(std::string_view reason);
  // After a probe of --device found nothing: the transport's last error says why.
  void TellWhyNothingAnswers(const std::string& device);
  // A line on standard error, after the program's name.
  void Tell(std::string_view text);
  // Program text in the message language's encoding as the terminal takes it (UTF-8, LF).
  std::string ForTerminal(std::string_view text) const;
  std::string InLanguage(const TextPair& text) const;

  Environment& environment_;
  Terminal& terminal_;
  std::span<const FirmwareImage> images_;
  MessageLanguage language_;
  DeviceNodeTransport nodes_;
  DriveTransport transport_;
};

}  // namespace fwu::linux_program
