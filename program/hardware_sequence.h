#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapping/hardware_constraints.h"
#include "mapping/strategy_factory.h"
#include "ornix/device.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"
#include "ornix/tensor.h"
#include "program/program_bytes.h"

namespace ornix {

// The runtime result of one mapping: the layers one serialized device program runs, the passes
// they were cut into, and the program bytes (two size-prefixed buffers: program info, then
// program data). Made by the sequence builder; never changes afterwards. Running samples
// changes the device's state (program, input count, learning switch), never the sequence's.
//
// Holds no lock: calls that drive one device are serialized by the caller.
class HardwareSequence final : public ForwardableSequence {
 public:
  // `device`: the device the program was built for (shared). `constraints`: the mapping's
  // table, copied (the mapping's own table ends with the mapping). `layers`: every layer of the
  // sequence in order. `passes`: the passes in order. `program`: the serialized program.
  // `generations`: the back ends that read learned variables back. std::invalid_argument for a
  // null device, no layer, no pass, or a program shorter than its size-prefixed info part.
  HardwareSequence(std::shared_ptr<Device> device, const HardwareConstraints& constraints,
                   std::vector<std::shared_ptr<Layer>> layers, std::vector<std::shared_ptr<Pass>> passes,
                   ProgramBytes program, GenerationFactories generations = built_in_generations());
  // A device keeps using the program bytes it was given, so a sequence whose program the device
  // still holds unprograms it before the bytes go (an error doing so cannot leave a destructor
  // and is dropped). The bytes' address is what the device holds: not copied, not moved.
  ~HardwareSequence() override;
  HardwareSequence(const HardwareSequence&) = delete;
  HardwareSequence& operator=(const HardwareSequence&) = delete;

  const std::vector<std::shared_ptr<Pass>>& passes() const override { return passes_; }
  BackendType backend() const override { return BackendType::Hardware; }
  // The whole program; valid while the sequence lives.
  Bytes program() const override { return {program_.data(), program_.size()}; }
  // With L the little-endian u32 at the program's start: bytes [0, L + 4) (program info) and
  // [L + 4, size) (program data).
  ProgramParts program_parts() const override;
  // "HW/" and the first layer's name, then "-" and the last layer's name when there are several.
  std::string name() const override;

  // Programs the device unless it already holds these program bytes, declares the run, sets the
  // learning switch to whether `labels` is given, and runs: fit (then reads learned variables
  // back) with labels; predict when the last layer is a Dequantizer; forward otherwise. One
  // output tensor per device output, in order.
  // std::runtime_error "An actual hardware device is required." before any device call when the
  // device has no hardware; errors of the device and of sync_learning_vars pass out unchanged.
  std::vector<std::shared_ptr<Tensor>> forward_samples(const std::vector<std::shared_ptr<const Tensor>>& inputs,
                                                       std::vector<int32_t>* labels) override;

  // Reads the variables the device learned back into the last pass's last mappable layer,
  // through a temporary layer recorder of the device's generation. std::runtime_error "Learning
  // is not supported for layers mapped on more than 1 NP." unless that layer's mapping holds
  // exactly one NP component.
  void sync_learning_vars();

 private:
  std::shared_ptr<Device> device_;
  HardwareConstraints constraints_;
  std::vector<std::shared_ptr<Layer>> layers_;
  std::vector<std::shared_ptr<Pass>> passes_;
  ProgramBytes program_;
  GenerationFactories generations_;
};

}  // namespace ornix
