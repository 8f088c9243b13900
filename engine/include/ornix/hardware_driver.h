#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ornix {

// Register access to one device. Every access the system makes is 4 bytes long; failures
// throw (std::runtime_error) and propagate to the caller.
class HardwareDriver {
 public:
  virtual ~HardwareDriver() = default;

  virtual void read(uint32_t address, void* buffer, size_t length) = 0;
  virtual void write(uint32_t address, const void* buffer, size_t length) = 0;
  // Base address of the top register block (mesh registers are offsets from it).
  virtual uint32_t top_level_reg_base() const = 0;
  virtual std::string desc() const = 0;
};

// The drivers of the devices attached to this machine, in a fixed order. Empty unless a
// driver was attached (tests do so through ornix/testing/driver_registry.h).
std::vector<HardwareDriver*> get_drivers();

}  // namespace ornix
