#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ornix/device.h"
#include "ornix/hardware_mapping.h"
#include "ornix/sequence.h"

// Fakes of what the hardware back end gives the engine: a device, a sequence and a mapper.
namespace ornix::test {

class FakeDevice final : public Device {
 public:
  explicit FakeDevice(HwVersion version = {}) : version_(version) {}
  HwVersion version() const override { return version_; }
  std::string desc() const override { return "fake device"; }
  const Mesh* mesh() const override { return nullptr; }
  HardwareDevice* hardware() const override { return nullptr; }

 private:
  HwVersion version_;
};

// A sequence over some layers whose run is a given function of its samples.
class FakeSequence final : public ForwardableSequence {
 public:
  using Run = std::function<std::vector<std::shared_ptr<Tensor>>(const std::vector<std::shared_ptr<const Tensor>>&)>;

  FakeSequence(std::string name, std::vector<std::shared_ptr<Layer>> layers, Run run)
      : name_(std::move(name)), run_(std::move(run)) {
    auto pass = std::make_shared<Pass>();
    pass->layers = std::move(layers);
    passes_.push_back(std::move(pass));
  }

  // Appends a pass of these layers.
  void add_pass(std::vector<std::shared_ptr<Layer>> layers) {
    auto pass = std::make_shared<Pass>();
    pass->layers = std::move(layers);
    passes_.push_back(std::move(pass));
  }

  const std::vector<std::shared_ptr<Pass>>& passes() const override { return passes_; }
  BackendType backend() const override { return BackendType::Hardware; }
  Bytes program() const override { return {}; }
  ProgramParts program_parts() const override { return {}; }
  std::string name() const override { return name_; }

  std::vector<std::shared_ptr<Tensor>> forward_samples(const std::vector<std::shared_ptr<const Tensor>>& inputs,
                                                       std::vector<int32_t>*) override {
    ++runs;
    return run_(inputs);
  }

  int runs = 0;

 private:
  std::string name_;
  Run run_;
  std::vector<std::shared_ptr<Pass>> passes_;
};

// Registers a mapper for its lifetime and restores the one registered before.
class ScopedMapper {
 public:
  explicit ScopedMapper(HardwareMapper mapper) : previous_(set_hardware_mapper(std::move(mapper))) {}
  ~ScopedMapper() { set_hardware_mapper(std::move(previous_)); }
  ScopedMapper(const ScopedMapper&) = delete;
  ScopedMapper& operator=(const ScopedMapper&) = delete;

 private:
  HardwareMapper previous_;
};

// A mapper that puts every layer into one sequence running `run`, and remembers the request.
struct OneSequenceMapper {
  explicit OneSequenceMapper(FakeSequence::Run run_samples) : run(std::move(run_samples)) {}

  FakeSequence::Run run;
  std::shared_ptr<FakeSequence> last_sequence;
  MapRequest last_request;

  HardwareMapper mapper() {
    return [this](std::vector<std::shared_ptr<Layer>>& layers, std::vector<std::shared_ptr<Sequence>>& sequences,
                  const MapRequest& request) {
      last_request = request;
      last_sequence = std::make_shared<FakeSequence>("HW/all", layers, run);
      sequences.push_back(last_sequence);
      layers.clear();
    };
  }
};

}  // namespace ornix::test
