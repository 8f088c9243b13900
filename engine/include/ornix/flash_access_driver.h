#pragma once

#include <cstdint>
#include <memory>

namespace ornix {

// The SPI flash of a board, reached through its device's driver.
class SpiFlashController {
 public:
  // Not available yet: always throws std::runtime_error.
  uint16_t get_id() const;
};

// The flash side of a device's driver: a driver that reaches a flash also derives from this
// interface, and callers reach it by cross-casting the device's HardwareDriver.
class FlashAccessDriver {
 public:
  virtual ~FlashAccessDriver() = default;

  virtual std::shared_ptr<SpiFlashController> flash_controller() = 0;
};

}  // namespace ornix
