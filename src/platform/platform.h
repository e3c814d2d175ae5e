#pragma once

#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/dialog_host.h"
#include "platform/locale.h"
#include "platform/pass_through_driver.h"
#include "platform/registry.h"
#include "platform/system_services.h"
#include "platform/threads.h"

namespace fwu::platform {

// Everything the portable core needs of an operating system, built once by main and handed
// down by reference. Nothing in the core reaches the system any other way.
struct Platform {
  SystemServices& system;
  Locale& locale;
  Registry& registry;
  AspiLibrary& aspi;
  PassThroughDriver& pass_through;
  Threads& threads;
  Clock& clock;
  DialogHost& dialogs;
};

}  // namespace fwu::platform
