// The engine's HardwareDevice: identity and state in the registers of DeviceRegs, programs
// kept as the caller's bytes, no NP arithmetic.
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "device_messages.h"
#include "device_registers.h"
#include "ornix/hardware_device.h"
#include "ornix/program_info.h"
#include "ornix/register_access.h"

namespace ornix {
namespace {

// One run output: a Dense held by a single owner, as the device hands its outputs out.
class FrameOutput final : public Tensor {
 public:
  explicit FrameOutput(std::shared_ptr<Dense> dense) : dense_(std::move(dense)) {}
  TensorType type() const override { return dense_->type(); }
  const Shape& shape() const override { return dense_->shape(); }
  std::shared_ptr<Dense> ensure_dense() override { return dense_; }

 private:
  std::shared_ptr<Dense> dense_;
};

HwVersion decode_version(uint32_t word) {
  using R = DeviceRegs;
  return {static_cast<uint8_t>(get_field(word, R::kVersionVendor)),
          static_cast<uint8_t>(get_field(word, R::kVersionProduct)),
          static_cast<uint8_t>(get_field(word, R::kVersionMajor)),
          static_cast<uint8_t>(get_field(word, R::kVersionMinor))};
}

class RegisterDevice final : public HardwareDevice {
 public:
  RegisterDevice(HardwareDriver* driver, HwVersion version) : driver_(driver), version_(version) {}

  HwVersion version() const override { return version_; }
  std::string desc() const override { return driver_->desc(); }
  HardwareDriver* driver() const override { return driver_; }

  void read_np_info(uint32_t* words, const hw::Ident* idents, size_t count) const override {
    for (size_t i = 0; i < count; ++i) {
      if (!DeviceRegs::in_np_table(idents[i])) throw std::invalid_argument(DeviceMessages::kNotAnNp);
      words[i] = read(DeviceRegs::np_descriptor(idents[i]));
    }
  }

  void program(const uint8_t* data, size_t size) override { take_program(data, size, std::nullopt); }
  void program_external(const uint8_t* data, size_t size, uint32_t address) override {
    take_program(data, size, address);
  }
  void unprogram() override {
    write(DeviceRegs::kProgramSize, 0);
    program_ = {};
  }
  ProgramView current_program() const override { return program_; }
  uint32_t program_clock_count() const override { return read(DeviceRegs::kProgramClockCount); }

  void prepare_run(uint32_t input_count, bool reset) override {
    write(DeviceRegs::kRunFrames, input_count);
    write(DeviceRegs::kRunReset, reset ? DeviceRegs::kBit0 : 0);
    declared_frames_ = input_count;
  }
  void set_busy(bool busy) override { write(DeviceRegs::kBusy, busy ? DeviceRegs::kBit0 : 0); }
  bool busy() const override { return (read(DeviceRegs::kBusy) & DeviceRegs::kBit0) != 0; }
  uint32_t clock_counter() const override { return read(DeviceRegs::kClockCounter); }

  bool learn_enabled() const override { return (read(DeviceRegs::kLearnEnable) & DeviceRegs::kBit0) != 0; }
  void set_learn_enabled(bool enabled) override { write(DeviceRegs::kLearnEnable, enabled ? DeviceRegs::kBit0 : 0); }
  uint32_t learn_mem_size() const override {
    const uint32_t words = read(DeviceRegs::kLearnMemSize);
    if (words > DeviceRegs::kLearnMemMaxWords) {
      throw std::runtime_error(DeviceMessages::learn_mem_too_large(words, DeviceRegs::kLearnMemMaxWords));
    }
    return words;
  }
  void read_learn_mem(uint32_t* words) const override {
    const uint32_t count = learn_mem_size();
    for (uint32_t i = 0; i < count; ++i) words[i] = read(DeviceRegs::learn_mem_word(i));
  }
  void write_learn_mem(const uint32_t* words) override {
    const uint32_t count = learn_mem_size();
    for (uint32_t i = 0; i < count; ++i) write(DeviceRegs::learn_mem_word(i), words[i]);
  }

  uint64_t memory() const override {
    const uint64_t usage = read(DeviceRegs::kMemoryUsage);
    const uint64_t top = read(DeviceRegs::kMemoryTopUsage);
    return top << 32 | usage;
  }
  void reset_top_memory() override { write(DeviceRegs::kMemoryTopUsage, read(DeviceRegs::kMemoryUsage)); }

  Outputs fit(const Frames& frames, const std::vector<int32_t>& /*labels: nothing is learned here*/) override {
    return run(frames);
  }
  Outputs forward(const Frames& frames) override { return run(frames); }
  // Dequantized outputs: float values.
  Outputs predict(const Frames& frames) override { return run(frames, TensorType::float32); }

 private:
  uint32_t read(uint32_t address) const { return read_register(*driver_, address); }
  void write(uint32_t address, uint32_t value) { write_register(*driver_, address, value); }

  static uint32_t checked_program_size(const uint8_t* data, size_t size) {
    if (data == nullptr && size != 0) throw std::invalid_argument(DeviceMessages::kNullProgram);
    if (size > std::numeric_limits<uint32_t>::max()) throw std::invalid_argument(DeviceMessages::kProgramTooLarge);
    return static_cast<uint32_t>(size);
  }
  // Holds the program given whole (`external_address` nullopt) or as its info part with the data
  // at `external_address` in device memory; either way the output its info part announces sets
  // the output registers. The program is checked before anything changes.
  void take_program(const uint8_t* data, size_t size, std::optional<uint32_t> external_address) {
    const uint32_t checked_size = checked_program_size(data, size);
    const std::optional<ProgramOutput> output = announced_output(data, size);
    if (external_address) write(DeviceRegs::kProgramAddress, *external_address);
    write(DeviceRegs::kProgramSize, checked_size);
    hold(data, size);
    if (output) load_output_geometry(*output);
  }
  // As the device's loader does: bytes that do not open with a readable info part are taken as
  // they are, announcing no output (nullopt); a program whose output would not fit the device's
  // memory is refused (ProgramOutputTooLarge).
  static std::optional<ProgramOutput> announced_output(const uint8_t* data, size_t size) {
    try {
      return read_program_output(data, size);
    } catch (const ProgramOutputTooLarge&) {
      throw;
    } catch (const std::runtime_error&) {
      return std::nullopt;
    }
  }
  // An output of shape (width, height, channels) sets the output registers; others leave them as
  // they are.
  void load_output_geometry(const ProgramOutput& output) {
    if (output.shape.size() != 3) return;
    write(DeviceRegs::kOutputWidth, output.shape[0]);
    write(DeviceRegs::kOutputHeight, output.shape[1]);
    write(DeviceRegs::kOutputChannels, output.shape[2]);
    write(DeviceRegs::kOutputType, static_cast<uint32_t>(output.tensor_type()));
  }
  // An empty program leaves the device holding none.
  void hold(const uint8_t* data, size_t size) { program_ = size == 0 ? ProgramView{} : ProgramView{data, size}; }

  // Checks the run against the program and the declaration (which it uses up), then makes one
  // zero-filled output per frame in the geometry of the output registers, of their element type
  // unless `as` gives one. A frame larger than kMaxOutputFrameBytes is refused before any is made.
  Outputs run(const Frames& frames, std::optional<TensorType> as = std::nullopt) {
    if (program_.data == nullptr) throw std::runtime_error(DeviceMessages::kNoProgram);
    if (!declared_frames_) throw std::runtime_error(DeviceMessages::run_not_declared(frames.size()));
    const uint32_t declared = *std::exchange(declared_frames_, std::nullopt);
    if (frames.size() != declared) throw std::runtime_error(DeviceMessages::frame_count_mismatch(frames.size(), declared));

    const uint32_t width = read(DeviceRegs::kOutputWidth);
    const uint32_t height = read(DeviceRegs::kOutputHeight);
    const uint32_t channels = read(DeviceRegs::kOutputChannels);
    const uint32_t type = read(DeviceRegs::kOutputType);
    if (width == 0 || height == 0 || channels == 0) throw std::runtime_error(DeviceMessages::kNoOutputGeometry);
    if (tensor_element_size(static_cast<TensorType>(type)) == 0) {
      throw std::runtime_error(DeviceMessages::bad_output_type(type));
    }
    const TensorType element = as.value_or(static_cast<TensorType>(type));
    const uint64_t frame_bytes = output_frame_bytes({width, height, channels}, element);
    if (frame_bytes > kMaxOutputFrameBytes) {
      throw std::runtime_error(
          DeviceMessages::output_frame_too_large(width, height, channels, frame_bytes, kMaxOutputFrameBytes));
    }
    const Shape shape{width, height, channels};
    Outputs outputs;
    outputs.reserve(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      outputs.push_back(std::make_unique<FrameOutput>(Dense::create(element, shape)));
    }
    return outputs;
  }

  HardwareDriver* driver_;
  HwVersion version_;
  ProgramView program_;
  std::optional<uint32_t> declared_frames_;
};

}  // namespace

std::shared_ptr<HardwareDevice> HardwareDevice::create(HardwareDriver* driver) {
  if (driver == nullptr) throw std::invalid_argument(DeviceMessages::kNullDriver);
  const uint32_t version = read_register(*driver, DeviceRegs::kVersion);
  if (version == 0) throw std::runtime_error(DeviceMessages::no_device(driver->desc()));
  return std::make_shared<RegisterDevice>(driver, decode_version(version));
}

}  // namespace ornix
