#pragma once

#include <span>

#include "app/resume_state.h"
#include "app/run_outcome.h"
#include "app/screen_saver_suspension.h"
#include "drive/drive_transport.h"
#include "platform/platform.h"
#include "resources/message_language.h"
#include "sysconfig/system_context.h"
#include "update/firmware_image.h"

namespace fwu {

// What follows the drive search once a drive needs the update: the agreement on a first start,
// then either the preparation path (settings changed and recorded, the next start arranged,
// Windows restarted) or the update path (the main dialog, then the restore and the restart
// when the dialog asks for them). The selected drive stays selected in the transport.
class RunPaths {
 public:
  RunPaths(platform::Platform& platform, const SystemContext& context, ChangeStore& store,
           DriveTransport& transport, std::span<const FirmwareImage> images,
           MessageLanguage language, ScreenSaverSuspension& screen_saver);

  // Chooses the path and follows it to its end.
  RunOutcome Run();

 private:
  RunOutcome PreparationPath();
  RunOutcome UpdatePath();

  platform::Platform& platform_;
  const SystemContext& context_;
  ChangeStore& store_;
  DriveTransport& transport_;
  std::span<const FirmwareImage> images_;
  MessageLanguage language_;
  ScreenSaverSuspension& screen_saver_;

  // From the resume state: the Run entry's text, `resumed` and `runEntryUnavailable`.
  RunEntryProbe probe_;
  bool store_parent_preexisting_ = false;
};

}  // namespace fwu
