#include "backend/v1/cnp_recording.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <stdexcept>
#include <vector>

#include "backend/v1/cnp_limits.h"
#include "backend/v1/cnp_register_format.h"
#include "backend/v1/cnp_weight_format.h"
#include "backend/v1/fnp_messages.h"
#include "backend/v1/recorder_messages.h"
#include "mapping/layer_mapping.h"
#include "ornix/dma/config_header.h"
#include "ornix/layers/convolution_v1.h"
#include "program/planned_blocks.h"
#include "program/register_field.h"

namespace ornix::v1 {

namespace {

using Words = std::vector<uint32_t>;
using RegisterMap = std::map<hw::Ident, Words>;

// Appends to `blocks` the weight blocks, sized (and checked), of the NP at `ident` computing
// `share`.
using WeightBlocks =
    std::function<void(const hw::Ident&, const NpAllocation&, std::vector<program::PlannedBlock>*)>;

// The words of format_cnp_threshold_steps, into `block` (zero-filled, two words a filter).
void write_threshold_steps(std::span<uint32_t> block, const Dense& threshold, const Dense& steps16, bool activation,
                           uint32_t first, uint32_t filters) {
  const int32_t* thresholds = threshold.data<int32_t>();
  const int32_t* steps = steps16.data<int32_t>();
  const uint64_t end = uint64_t{first} + filters;
  if (threshold.size() < end || steps16.size() < end) throw std::invalid_argument(kMsgValuesPerFilter);
  for (uint32_t j = 0; j < filters; ++j) {
    const std::size_t i = std::size_t{first} + j;
    block[j * kCnpWordsPerFilter] =
        activation ? int32_to_intN<kCnpThresholdBits>(thresholds[i]) : kCnpNoActivationThreshold;
    const auto step = static_cast<uint32_t>(steps[i]);
    if (step > kCnpMaxStep) throw CnpError(fnp_act_step_message(steps[i] / kCnpStepScale));
    block[j * kCnpWordsPerFilter + 1] = step;
  }
}

// The tracks of every NP of the layer's mapping, in its order. Every block is sized first, so
// that a track that opens keeps room for exactly the blocks that will join it and none moves.
std::unique_ptr<program::Record> record_cnp_layer(const Device& device, const Layer& layer,
                                                  const RegisterMap& registers, const WeightBlocks& weight_blocks,
                                                  bool registers_only) {
  const LayerMapping& mapping = record_of(layer);
  std::shared_ptr<const Dense> threshold, steps16;
  if (!registers_only) {
    threshold = layer.variables().get("threshold");
    steps16 = get_threshold_t16_from_act_steps(*layer.variables().get("act_step"));
  }
  const bool activation = layer.has_activation();
  const Words no_registers;
  std::vector<program::PlannedBlock> blocks;
  for (const hw::Component& np : *mapping.nps) {
    const auto found = registers.find(np.ident);
    const Words& np_registers = found == registers.end() ? no_registers : found->second;
    blocks.push_back({np.ident, dma::Target::NpRegisters, 0, np_registers.size(), &np_registers, {}});
    if (registers_only) continue;
    const NpAllocation share = hw::np_share_or_default(np);
    weight_blocks(np.ident, share, &blocks);
    const auto write = [&threshold, &steps16, activation, share](std::span<uint32_t> words) {
      write_threshold_steps(words, *threshold, *steps16, activation, share.start_neuron, share.filters);
    };
    blocks.push_back({np.ident, dma::Target::CnpThresholdSteps, 0, size_t{share.filters} * kCnpWordsPerFilter,
                      nullptr, write});
  }
  auto record = program::new_record(device.version());
  program::add_planned_blocks(*record, blocks);
  return record;
}

}  // namespace

std::vector<uint32_t> format_cnp_threshold_steps(const Dense& threshold, const Dense& steps16, bool activation,
                                                 uint32_t first, uint32_t filters) {
  Words block(static_cast<std::size_t>(filters) * kCnpWordsPerFilter, 0);
  write_threshold_steps(block, threshold, steps16, activation, first, filters);
  return block;
}

std::unique_ptr<program::Record> record_program_conv_layer(const Device& device, const Layer& layer,
                                                           std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                           bool route_flag, const std::vector<hw::Ident>& skip_nps,
                                                           bool registers_only) {
  const auto& conv = dynamic_cast<const Convolutional&>(layer);
  const std::shared_ptr<const Dense> weights = conv.variables().get("weights");
  const int32_t weights_bits = param_of(conv, "weights_bits");
  const RegisterMap registers = format_std_cnp_regs(conv, std::move(reconfig_layer), ib_spikes, route_flag, skip_nps);
  const bool four_bit = weights_bits == 4;
  const bool two_bit = weights_bits == 2;
  // Packed straight into the track.
  const WeightBlocks weight_blocks = [&](const hw::Ident& ident, const NpAllocation& share,
                                         std::vector<program::PlannedBlock>* blocks) {
    const uint32_t first = share.start_neuron;
    const uint32_t count = share.filters;
    const size_t words = four_bit ? std_cnp_4bit_weight_words(*weights, first, count)
                                  : std_cnp_weight_words(*weights, two_bit, first, count);
    const auto pack = [&weights, four_bit, two_bit, first, count](std::span<uint32_t> payload) {
      if (four_bit) {
        pack_4bits_std_cnp_weights(*weights, first, count, payload);
      } else {
        pack_std_cnp_weights(*weights, two_bit, first, count, payload);
      }
    };
    blocks->push_back({ident, dma::Target::CnpWeights, 0, words, nullptr, pack});
  };
  return record_cnp_layer(device, conv, registers, weight_blocks, registers_only);
}

std::unique_ptr<program::Record> record_program_sep_conv_layer(const Device& device, const Layer& layer,
                                                               std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                               bool route_flag,
                                                               const std::vector<hw::Ident>& skip_nps,
                                                               bool registers_only) {
  const auto& conv = dynamic_cast<const SeparableConvolutional&>(layer);
  const int32_t weights_bits = param_of(conv, "weights_bits");
  const RegisterMap registers = format_sep_cnp_regs(conv, std::move(reconfig_layer), ib_spikes, route_flag, skip_nps);
  Words depthwise;
  std::shared_ptr<const Dense> pointwise;
  if (!registers_only) {
    depthwise = format_sep_cnp_dw_weights(*conv.variables().get("weights"), weights_bits);
    pointwise = conv.variables().get("weights_pw");
  }
  const auto pointwise_address =
      static_cast<uint16_t>((depthwise.size() + kCnpWeightAddressUnit - 1) / kCnpWeightAddressUnit);
  // The depthwise stream, the same for every NP, is copied; each NP's pointwise filters are
  // packed straight into the track.
  const WeightBlocks weight_blocks = [&](const hw::Ident& ident, const NpAllocation& share,
                                         std::vector<program::PlannedBlock>* blocks) {
    const uint32_t first = share.start_neuron;
    const uint32_t count = share.filters;
    blocks->push_back({ident, dma::Target::CnpWeights, 0, depthwise.size(), &depthwise, {}});
    const size_t words = sep_cnp_pw_weight_words(*pointwise, weights_bits, first, count);
    const auto pack = [&pointwise, weights_bits, first, count](std::span<uint32_t> payload) {
      pack_sep_cnp_pw_weights(*pointwise, weights_bits, first, count, payload);
    };
    blocks->push_back({ident, dma::Target::CnpWeights, pointwise_address, words, nullptr, pack});
  };
  return record_cnp_layer(device, conv, registers, weight_blocks, registers_only);
}

}  // namespace ornix::v1
