#include "support/drive_rig.h"

#include <fstream>
#include <iterator>

namespace fwu::test {

std::string NameOf(TransportKind kind) {
  return kind == TransportKind::kAspi ? "Aspi" : "PassThrough";
}

DriveRig::DriveRig(TransportKind kind, int ansi_code_page) : kind_(kind) {
  if (kind == TransportKind::kAspi) {
    aspi_ = std::make_unique<AspiMachine>(ansi_code_page);
    aspi_->aspi.AddHostAdapter(7);
  } else {
    pass_through_ = std::make_unique<PassThroughMachine>(ansi_code_page);
  }
}

DriveRig::~DriveRig() {
  Clock().FinishThreads();
}

emulator::EmulatedDrive& DriveRig::AddDrive(emulator::DriveConfig config) {
  const int n = drives_++;
  if (kind_ == TransportKind::kAspi) {
    return aspi_->AddDrive(0, static_cast<std::uint8_t>(1 + n), std::move(config));
  }
  return pass_through_->AddDrive(static_cast<char>('E' + n), std::move(config));
}

emulator::EmulatedDrive& DriveRig::SwapDrive(int n, emulator::DriveConfig config) {
  if (kind_ == TransportKind::kAspi) {
    return aspi_->AddDrive(0, static_cast<std::uint8_t>(1 + n), std::move(config));
  }
  return pass_through_->AddDrive(static_cast<char>('E' + n), std::move(config));
}

DriveTransport& DriveRig::Transport() {
  if (!transport_) {
    if (kind_ == TransportKind::kAspi) {
      AspiTransport& aspi = aspi_->Start();
      transport_.emplace(aspi, aspi).SetTransportMode(DriveTransport::kModeAspi);
    } else {
      transport_.emplace(pass_through_->transport, pass_through_->transport)
          .SetTransportMode(DriveTransport::kModePassThrough);
    }
  }
  return *transport_;
}

sim::VirtualClock& DriveRig::Clock() {
  return kind_ == TransportKind::kAspi ? aspi_->clock : pass_through_->clock;
}

const platform::Locale& DriveRig::Locale() const {
  return kind_ == TransportKind::kAspi ? static_cast<const platform::Locale&>(aspi_->locale)
                                       : pass_through_->locale;
}

std::vector<std::uint8_t> PlainImage() {
  std::ifstream in(FWU_PLAIN_IMAGE_PATH, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace fwu::test
