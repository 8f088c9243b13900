#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ornix/hardware_driver.h"
#include "ornix/hw/ident.h"
#include "ornix/hw_version.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix {

// A fake driver for tests: no device behind it, only a map of 32-bit registers. The engine's
// HardwareDevice opened on it finds its identity and state in those registers; the helpers
// at the end set them.
//
// Every register reads 0 until written. Accesses are 4 bytes long, little-endian words; any
// other length throws std::invalid_argument and is neither logged nor applied. Completed
// accesses are logged in order; failed reads (injected failures) are not logged. A hook
// clears written bits after some reads (see below).
//
// Not thread-safe: one thread drives it at a time.
class SimulatedDriver final : public HardwareDriver {
 public:
  enum class AccessKind : uint8_t { Read, Write };
  struct Access {
    uint32_t address = 0;
    uint32_t value = 0;  // the value read or written
    AccessKind kind = AccessKind::Read;
    bool operator==(const Access&) const = default;
  };

  // Read count meaning "the change never happens" in pend_after_write.
  static constexpr uint32_t kNever = UINT32_MAX;

  explicit SimulatedDriver(std::string desc = "simulated driver", uint32_t top_level_reg_base = 0);

  void read(uint32_t address, void* buffer, size_t length) override;
  void write(uint32_t address, const void* buffer, size_t length) override;
  uint32_t top_level_reg_base() const override { return top_level_reg_base_; }
  std::string desc() const override { return desc_; }

  void set_top_level_reg_base(uint32_t base) { top_level_reg_base_ = base; }

  // Register contents, bypassing the log, the hooks and the failures.
  uint32_t peek(uint32_t address) const;
  void poke(uint32_t address, uint32_t value);

  // Accesses in the order they completed.
  const std::vector<Access>& log() const { return log_; }
  // The writes of the log, in order.
  std::vector<Access> writes() const;
  void clear_log() { log_.clear(); }

  // Every write to `address` stores its value; when that value sets bits of `mask`, they
  // read as set for the next `reads` reads and are cleared for the read after them (kNever:
  // they stay set until written otherwise).
  void pend_after_write(uint32_t address, uint32_t mask, uint32_t reads);

  // Reads of `address`, or of every address when none is given, throw std::runtime_error
  // with `what`. A later call replaces the failure of the same address (or the one for every
  // address).
  void fail_reads(std::string what, std::optional<uint32_t> address = std::nullopt);

  // ---- The engine device's registers (poked: not logged)

  // A version of 0.0.0.0 means no device: HardwareDevice::create refuses the driver.
  void set_version(const HwVersion& version);
  // The descriptor word of an NP identifier (id 0 to 7, channel 0; std::invalid_argument
  // otherwise).
  void set_np_descriptor(const hw::Ident& ident, uint32_t word);
  // The output geometry of the programmed program: a (width, height, channels) shape
  // (std::invalid_argument for another dimension count) and its element type.
  void set_output(const Shape& shape, TensorType type);
  // The learned memory of the programmed learning layer: its size and its words.
  void set_learn_mem(const std::vector<uint32_t>& words);
  // Devices opened on this driver since the log was last cleared (HardwareDevice::create
  // reads the version register once per opening).
  size_t open_count() const;
  // Programs given to the device (bytes written, not unprogramming) since the log was last
  // cleared.
  size_t program_count() const;

 private:
  // Applied as register = register & keep.
  struct PendingChange {
    uint32_t reads_left;
    uint32_t keep;
  };
  struct PendBits {
    uint32_t mask;
    uint32_t reads;
  };
  struct Failures {
    std::optional<std::string> every;
    std::map<uint32_t, std::string> at;
    void check(uint32_t address) const;
  };

  uint32_t load(uint32_t address);

  std::string desc_;
  uint32_t top_level_reg_base_;
  std::map<uint32_t, uint32_t> registers_;
  std::vector<Access> log_;
  std::map<uint32_t, PendingChange> changes_;
  std::map<uint32_t, PendBits> pend_bits_;
  Failures read_failures_;
};

// For readable test failures: "read 0x00000050 = 0x00000202".
std::ostream& operator<<(std::ostream& out, const SimulatedDriver::Access& access);

}  // namespace ornix
