#include "program/hardware_sequence.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "mapping/generation.h"
#include "mapping/layer_graph.h"
#include "mapping/layer_mapping.h"
#include "ornix/hardware_device.h"
#include "program/messages.h"

namespace ornix {

namespace {

// Bytes of the little-endian size prefix that opens each of the program's two buffers.
constexpr size_t kSizePrefixBytes = 4;

// Bytes of the size-prefixed program-info buffer at the start of `program`; 0 when the program
// cannot even hold the prefix.
size_t info_part_size(const ProgramBytes& program) {
  if (program.size() < kSizePrefixBytes) return 0;
  uint32_t length = 0;
  for (size_t i = kSizePrefixBytes; i-- > 0;) length = (length << 8) | program.data()[i];
  return static_cast<size_t>(length) + kSizePrefixBytes;
}

bool holds_program(const HardwareDevice& device, const ProgramBytes& program) {
  const auto current = device.current_program();
  return current.data != nullptr && current.size == program.size() &&
         std::equal(program.begin(), program.end(), current.data);
}

HardwareDevice::Frames dense_frames(const std::vector<std::shared_ptr<const Tensor>>& inputs) {
  HardwareDevice::Frames frames;
  frames.reserve(inputs.size());
  for (const auto& input : inputs) frames.push_back(std::const_pointer_cast<Tensor>(input)->ensure_dense());
  return frames;
}

}  // namespace

HardwareSequence::HardwareSequence(std::shared_ptr<Device> device, const HardwareConstraints& constraints,
                                   std::vector<std::shared_ptr<Layer>> layers,
                                   std::vector<std::shared_ptr<Pass>> passes, ProgramBytes program,
                                   GenerationFactories generations)
    : device_(std::move(device)),
      constraints_(constraints),
      layers_(std::move(layers)),
      passes_(std::move(passes)),
      program_(std::move(program)),
      generations_(generations) {
  if (!device_) throw std::invalid_argument(program::kMsgSequenceWithoutDevice);
  if (layers_.empty()) throw std::invalid_argument(program::kMsgSequenceWithoutLayers);
  if (passes_.empty()) throw std::invalid_argument(program::kMsgSequenceWithoutPasses);
  const size_t info_size = info_part_size(program_);
  if (info_size == 0 || info_size > program_.size()) throw std::invalid_argument(program::kMsgProgramTooShort);
}

HardwareSequence::~HardwareSequence() {
  HardwareDevice* hardware = device_->hardware();
  if (!hardware) return;
  try {
    if (hardware->current_program().data == program_.data()) hardware->unprogram();
  } catch (const std::exception&) {
    // Nothing can be reported from here; the device keeps the program it held.
  }
}

Sequence::ProgramParts HardwareSequence::program_parts() const {
  const size_t info_size = info_part_size(program_);
  return {{program_.data(), info_size}, {program_.data() + info_size, program_.size() - info_size}};
}

std::string HardwareSequence::name() const {
  std::string text = "HW/" + layers_.front()->name();
  if (layers_.size() > 1) text += "-" + layers_.back()->name();
  return text;
}

std::vector<std::shared_ptr<Tensor>> HardwareSequence::forward_samples(
    const std::vector<std::shared_ptr<const Tensor>>& inputs, std::vector<int32_t>* labels) {
  HardwareDevice* hardware = device_->hardware();
  if (!hardware) throw std::runtime_error(program::kMsgHardwareRequired);

  if (!holds_program(*hardware, program_)) hardware->program(program_.data(), program_.size());
  hardware->prepare_run(static_cast<uint32_t>(inputs.size()), true);
  const bool learning = labels != nullptr;
  if (hardware->learn_enabled() != learning) hardware->set_learn_enabled(learning);

  const auto frames = dense_frames(inputs);
  HardwareDevice::Outputs outputs;
  if (learning) {
    outputs = hardware->fit(frames, *labels);
    sync_learning_vars();
  } else if (layers_.back()->params()->layer_type() == LayerType::Dequantizer) {
    outputs = hardware->predict(frames);
  } else {
    outputs = hardware->forward(frames);
  }

  std::vector<std::shared_ptr<Tensor>> results;
  results.reserve(outputs.size());
  for (auto& output : outputs) results.emplace_back(std::move(output));
  return results;
}

void HardwareSequence::sync_learning_vars() {
  const auto layer = last_mappable_layer(passes_.back()->layers);
  const auto mapping = layer ? layer_mapping_of(*layer) : nullptr;
  if (!mapping || !mapping->nps || mapping->nps->size() != 1) {
    throw std::runtime_error(program::kMsgLearningOnSeveralNps);
  }
  const StrategyFactory* factory =
      generation_of(device_->version()) == Generation::v1 ? generations_.v1 : generations_.v2;
  factory->make_layer_recorder(*device_, constraints_)->sync_learning_vars(layer);
}

}  // namespace ornix
