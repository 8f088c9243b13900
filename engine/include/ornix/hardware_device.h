#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ornix/hardware_driver.h"
#include "ornix/hw/ident.h"
#include "ornix/hw_version.h"
#include "ornix/tensor.h"

namespace ornix {

// A physical device, reached through its driver's registers. The device keeps its identity
// (version, NP descriptors), counters, switches and learned memory in registers; programs are
// kept as the bytes given to `program`.
//
// This engine's device does not compute NP arithmetic: fit, forward and predict return, per
// frame, a zero-filled tensor of the output geometry that the device's output registers hold
// (float32 values for predict, which dequantizes). Every program the device takes loads those
// registers with the output its info part announces, so that a run returns the output of the
// program the device holds; a geometry whose frame would take more than kMaxOutputFrameBytes
// (output_frame_bytes of the element type returned) is refused before any output is made.
class HardwareDevice {
 public:
  // Opens the device behind a driver; std::runtime_error when it cannot be opened. The driver
  // must outlive the device.
  static std::shared_ptr<HardwareDevice> create(HardwareDriver* driver);

  virtual ~HardwareDevice() = default;

  virtual HwVersion version() const = 0;
  virtual std::string desc() const = 0;
  virtual HardwareDriver* driver() const = 0;

  // One NP descriptor word per identifier.
  virtual void read_np_info(uint32_t* words, const hw::Ident* idents, size_t count) const = 0;

  // Programs the device with a whole serialized program. The device may keep using `data`
  // until it is unprogrammed or programmed again. Bytes that open with a program-info part that
  // read_program_output reads, announcing an output shape of three dimensions, also set the
  // output geometry (ProgramOutput::shape and tensor_type); other bytes leave it as it was. A
  // program whose output the device's memory cannot hold is refused (ProgramOutputTooLarge) and
  // the device stays as it was.
  virtual void program(const uint8_t* data, size_t size) = 0;
  // Programs from the program-info part; the program data already lie in device memory at
  // `address` (as the device sees it). `data` is the info part alone or followed by the data
  // part; it sets the output geometry, or is refused, as `program` does.
  virtual void program_external(const uint8_t* data, size_t size, uint32_t address) = 0;
  virtual void unprogram() = 0;
  struct ProgramView {
    const uint8_t* data = nullptr;  // null when the device holds no program
    size_t size = 0;
  };
  virtual ProgramView current_program() const = 0;
  // Device clock cycles the last programming took.
  virtual uint32_t program_clock_count() const = 0;

  // Declares the next run: its frame count.
  virtual void prepare_run(uint32_t input_count, bool reset) = 0;
  virtual void set_busy(bool busy) = 0;
  virtual bool busy() const = 0;
  // Free-running 32-bit clock counter; it wraps.
  virtual uint32_t clock_counter() const = 0;

  virtual bool learn_enabled() const = 0;
  virtual void set_learn_enabled(bool enabled) = 0;
  // Learned memory of the programmed learning layer, in 32-bit words (0 without learning).
  virtual uint32_t learn_mem_size() const = 0;
  virtual void read_learn_mem(uint32_t* words) const = 0;
  virtual void write_learn_mem(const uint32_t* words) = 0;

  // Low 32 bits: memory usage; high 32 bits: top usage; both in bytes.
  virtual uint64_t memory() const = 0;
  virtual void reset_top_memory() = 0;

  // One output tensor per frame, each separately owned.
  using Frames = std::vector<std::shared_ptr<const Dense>>;
  using Outputs = std::vector<std::unique_ptr<Tensor>>;
  virtual Outputs fit(const Frames& frames, const std::vector<int32_t>& labels) = 0;
  virtual Outputs forward(const Frames& frames) = 0;
  virtual Outputs predict(const Frames& frames) = 0;
};

}  // namespace ornix
