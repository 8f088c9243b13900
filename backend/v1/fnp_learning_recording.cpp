#include "backend/v1/fnp_learning_recording.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "backend/v1/fnp_error.h"
#include "backend/v1/fnp_limits.h"
#include "backend/v1/fnp_messages.h"
#include "backend/v1/fnp_recording.h"
#include "backend/v1/fnp_register_format.h"
#include "backend/v1/fnp_sizes.h"
#include "ornix/dma/config_header.h"
#include "ornix/layers/dense.h"
#include "program/register_field.h"

namespace ornix::v1 {

namespace {

// An FNP3's learn memory opens with two words that are not part of the image.
constexpr uint32_t kFnp3LearnMemoryLead = 2;

// A learning parameter as the unsigned 32-bit value it is truncated to; a value outside that
// range gives 0xFFFFFFFF, which no field takes.
uint32_t whole_param(const LearningParams& params, const char* key) {
  const double value = params.get(key);
  if (!(value >= 0.0 && value <= static_cast<double>(UINT32_MAX))) return UINT32_MAX;
  return static_cast<uint32_t>(value);
}

uint32_t block_words(uint32_t inputs) {
  return (inputs + kFnpChunkInputs - 1) / kFnpChunkInputs + kFnpNeuronHeaderWords;
}

const LearningParams& learning_of(const Layer& layer) {
  const auto* dense = dynamic_cast<const FullyConnected*>(&layer);
  const LearningParams* params = dense != nullptr ? dense->learning() : nullptr;
  if (params == nullptr) throw FnpError(kMsgFnpNotLearning);
  return *params;
}

// A learning variable of the layer; FnpError naming both when the layer does not hold it.
std::shared_ptr<const Dense> learning_variable(const Layer& layer, const char* name) {
  if (!layer.variables().has(name)) throw FnpError(fnp_learning_variable_missing_message(layer.name(), name));
  return layer.variables().get(name);
}

void patch_learning_fields(const Layer& layer, std::span<uint32_t> image) {
  const LearningParams& params = learning_of(layer);
  const uint32_t num_classes = whole_param(params, "num_classes");
  const uint32_t num_weights = whole_param(params, "num_weights");
  const auto threshold_learning = learning_variable(layer, kVarThresholdLearning);
  const auto thswap = learning_variable(layer, kVarThswap);
  const auto units = static_cast<uint32_t>(param_of(layer, "units"));
  const auto weights = layer.variables().get("weights");
  const uint32_t neurons = weights->shape()[0];
  if (units > neurons || units > threshold_learning->size() || units > thswap->size()) {
    throw FnpError(fnp_learning_units_message(units, neurons));
  }
  if (units != 0) {
    uint32_t checked = 0;  // refuses a num_weights too wide before any neuron is written
    set_field(&checked, kBlockNumWeights, num_weights);
  }
  const uint32_t block = block_words(weights->shape()[1]);
  const int32_t* thresholds = threshold_learning->data<int32_t>();
  const int32_t* swaps = thswap->data<int32_t>();
  for (uint32_t n = 0; n < units; ++n) {
    uint32_t* words = image.data() + static_cast<size_t>(n) * block;
    if (num_classes > 1) {
      set_field(&words[kBlockClassWord], kBlockClass, learning_class_of(n, units, num_classes));
    }
    set_field(&words[kBlockNumWeightsWord], kBlockNumWeights, num_weights);
    const int32_t t = thresholds[n];
    if (t < 0) throw FnpError(kMsgFnpNegativeThresholdLearning);
    const uint32_t code = int32_to_intN<kThresholdLearningBits>(t);
    set_field(&words[kBlockNumWeightsWord], kBlockThresholdHigh, code >> kBlockThresholdLow.width);
    set_field(&words[kBlockThresholdSwapWord], kBlockThresholdLow, code & 0xFFFF);
    set_field(&words[kBlockThresholdSwapWord], kBlockThswap, static_cast<uint32_t>(swaps[n]));
  }
}

// A zero-filled tensor like `like`.
std::shared_ptr<Dense> blank_like(const Dense& like) { return Dense::create(like.type(), like.shape(), like.layout()); }

}  // namespace

uint32_t learning_class_of(uint32_t neuron, uint32_t units, uint32_t num_classes) {
  const uint32_t per_class = num_classes == 0 ? 0 : units / num_classes;
  return (per_class != 0 ? neuron / per_class : 0) + 1;
}

program::LearnRecordsPtr record_program_learning_dense_layer(const Device& device, const Layer& layer,
                                                             bool ib_spikes) {
  const hw::Component& np = mapped_fnp(layer);
  if (param_of(layer, "weights_bits") != 1) throw FnpError(kMsgFnpLearningWeightsBits);
  program::LearnRecordsPtr records{program::new_record(device.version()), program::new_record(device.version()),
                                   program::new_record(device.version()), 0};
  const auto learning = format_fnp_regs(device, layer, true, nullptr, ib_spikes, false);
  records.record0->add_np_track(np.ident, dma::Target::NpRegisters, 0, learning.at(np.ident));
  const auto inference = format_fnp_regs(device, layer, false, nullptr, ib_spikes, false);
  records.record1->add_np_track(np.ident, dma::Target::NpRegisters, 0, inference.at(np.ident));

  record_fnp_image(*records.record2, np, layer, [&](std::span<uint32_t> image) { patch_learning_fields(layer, image); });
  records.count = get_fnp_sram_size(layer);
  return records;
}

void fnp_update_learn_vars(HardwareDevice* hardware, VariablesImpl* variables, bool is_fnp3) {
  const auto weights = variables->get("weights");
  const uint32_t neurons = weights->shape()[0];
  const uint32_t inputs = weights->shape()[1];
  const uint32_t block = block_words(inputs);
  const uint32_t lead = is_fnp3 ? kFnp3LearnMemoryLead : 0;
  const uint64_t needed = static_cast<uint64_t>(neurons) * block + lead;
  const uint32_t size = hardware->learn_mem_size();
  if (size < needed) throw FnpError(fnp_learn_memory_message(size, static_cast<uint32_t>(needed)));
  std::vector<uint32_t> memory(size, 0);
  hardware->read_learn_mem(memory.data());
  const uint32_t* image = memory.data() + lead;

  auto learned = blank_like(*weights);
  int8_t* bits = learned->data<int8_t>();
  for (uint32_t n = 0; n < neurons; ++n) {
    for (uint32_t i = 0; i < inputs; ++i) {
      const uint32_t word = image[static_cast<size_t>(n) * block + kFnpNeuronHeaderWords + i / kFnpChunkInputs];
      bits[learned->offset_of({n, i})] = static_cast<int8_t>((word >> (i % kFnpChunkInputs)) & 1);
    }
  }
  const auto old_thresholds = variables->get(kVarThresholdLearning);
  const auto old_swaps = variables->get(kVarThswap);
  auto thresholds = blank_like(*old_thresholds);
  auto swaps = blank_like(*old_swaps);
  const uint32_t count = std::min({neurons, static_cast<uint32_t>(thresholds->size()),
                                   static_cast<uint32_t>(swaps->size())});
  for (uint32_t n = 0; n < count; ++n) {
    const uint32_t* words = image + static_cast<size_t>(n) * block;
    const uint32_t high_mask = ((uint32_t{1} << kBlockThresholdHigh.width) - 1) << kBlockThresholdHigh.offset;
    const uint32_t low = words[kBlockThresholdSwapWord] >> kBlockThresholdLow.offset;
    thresholds->data<int32_t>()[n] = static_cast<int32_t>((words[kBlockNumWeightsWord] & high_mask) | low);
    swaps->data<int32_t>()[n] = static_cast<int32_t>(words[kBlockThresholdSwapWord] & 0xFFFF);
  }
  variables->set("weights", learned);
  variables->set(kVarThresholdLearning, thresholds);
  variables->set(kVarThswap, swaps);
}

}  // namespace ornix::v1
