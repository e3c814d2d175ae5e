#pragma once

namespace fwu::linux_program::exit_code {

inline constexpr int kUpdated = 0;  // also: a list printed, a dry run that found no obstacle
inline constexpr int kFailed = 1;   // refused or failed before the drive was changed
inline constexpr int kNothingToDo = 2;
inline constexpr int kMidDownload = 3;  // the download began and did not end
inline constexpr int kNotVerified = 4;  // the drive does not report the new firmware

}  // namespace fwu::linux_program::exit_code
