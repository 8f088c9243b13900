#pragma once

#include "ornix/hardware_driver.h"

namespace ornix {

// Test-only: attaches a driver to the engine's driver list (get_drivers) for the lifetime of
// the attachment, so that no test leaves a driver attached. Drivers are listed in attachment
// order; detaching one keeps the order of the others. The driver is not owned and must
// outlive the attachment. Attaching a null driver, or a driver already attached, throws
// std::invalid_argument. Attachments may be made and released from any thread.
class DriverAttachment {
 public:
  explicit DriverAttachment(HardwareDriver* driver);
  ~DriverAttachment();

  DriverAttachment(const DriverAttachment&) = delete;
  DriverAttachment& operator=(const DriverAttachment&) = delete;

 private:
  HardwareDriver* driver_;
};

}  // namespace ornix
