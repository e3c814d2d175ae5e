#pragma once

#include <string_view>

namespace fwu::linux_program {

// --help, laid out for help2man, which makes the manual page from it.
inline constexpr std::string_view kHelpText =
    R"(Usage: xtm7731-update [OPTION]...
Update the firmware of QUENTAR DVD-ROM XT-M7731 optical drives to the version this program
carries.

Without options the program finds the drives, says for each what it has and what the program
carries, shows the terms of use and asks you to accept them, asks you to confirm the update of
the drive that needs it (several: asks which), then updates it with a progress bar and reads
the drive's new firmware back. The update takes a little over two minutes. It needs root.

The program refuses to start on battery power, or while a file system on the drive is mounted.
During the update it keeps the drive open exclusively, pauses the kernel's media-change polling
of the drive, and blocks shutdown, sleep and the power and lid keys through systemd-logind
(where there is no logind it warns and goes on), and keeps other copies of itself out. Once
the download has begun, Ctrl-C, Ctrl-\, Ctrl-Z, SIGTERM, SIGHUP and a closed output pipe do not
stop it: it finishes, then gives everything back.

Options:
  -l, --list          print the drives found: device, vendor, product, revision, build and
                      whether an update is needed
      --json          print the list as JSON, for scripts (implies --list)
  -d, --device=PATH   use only the drive at PATH (an sr or sg device node)
  -y, --yes           accept the terms and confirm the update without asking
  -n, --dry-run       do every check, but send no command that changes the drive
  -h, --help          print this help and exit
  -V, --version       print the version and the firmware carried, and exit

Exit status:
  0   the firmware was updated and the drive reports it (--list: the list was printed;
      --dry-run: nothing stands in the way of the update)
  1   refused, or failed before the drive was changed; the reason is on standard error
  2   nothing to do: no drive needs the update
  3   the update failed after the download had begun: the drive may be left in the
      middle of a download; keep the computer on and run the program again
  4   after the update the drive does not report the new firmware

Messages follow the locale: the terms and the program's own messages are in Japanese where
the language is Japanese, and in English otherwise.
)";

}  // namespace fwu::linux_program
