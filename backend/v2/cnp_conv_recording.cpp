#include "backend/v2/cnp_conv_recording.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/v2/channel_variables.h"
#include "backend/v2/cnp_register_format.h"
#include "backend/v2/cnp_weight_format.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/conv2d_recording_messages.h"
#include "backend/v2/depthwise_transposed_messages.h"
#include "backend/v2/shift_lut_format.h"
#include "backend/v2/skip_dma_recording.h"
#include "program/planned_blocks.h"

namespace ornix::v2 {
namespace {

// Blocks a CNP's variables may be followed by in its track: lookup table, merge shifts.
constexpr size_t kBlocksAfterVariables = 2;

using Words = std::vector<uint32_t>;
using Tensor = std::shared_ptr<const Dense>;

// What the NPs receive after their register blocks, looked up once for the layer. A standard
// form sends every NP the same input and merge shifts; a depthwise form sends each NP the
// slices of its own channels.
class NpPayloads {
 public:
  // With `registers_only` no payload is recorded: a standard form still consults its weights'
  // kernel, a depthwise form reads no tensor.
  NpPayloads(const CnpConvForm& form, const Layer& layer, const LayerMapping& mapping, bool registers_only)
      : depthwise_(form.depthwise),
        layer_name_(layer.name()),
        weights_bits_(static_cast<uint8_t>(param_of(layer, "weights_bits"))),
        variables_(layer),
        lut_(layer.activation_is(ActivationType::LUT)),
        lut_table_(lut_ ? optional_variable(layer, "lut_values") : nullptr),
        merge_(mapping.merge_info != nullptr && mapping.merge_info->is_add ? mapping.merge_info.get() : nullptr) {
    if (depthwise_) {
      if (registers_only) return;
      weights_ = layer.variables().get("weights");
      input_shift_ = optional_variable(layer, "input_shift");
      return;
    }
    if (!registers_only) all_input_shifts_ = format_input_shift(*layer.variables().get("input_shift"));
    weights_ = layer.variables().get("weights");
    conv_target_ = conv2d_dma_target(weights_->shape()[0], weights_bits_);
  }

  // What one NP receives after its registers, besides its weights and variables (which are
  // sized and written later, straight into their track): its other blocks, formatted.
  struct NpPayload {
    NpAllocation share;
    Words own_input_shifts;                                      // depthwise: its channels' shifts
    std::vector<std::pair<dma::Target, Words>> after_variables;  // lookup table, merge shifts
  };

  NpPayload prepare(const NpAllocation& share) const {
    NpPayload payload{share, {}, {}};
    if (depthwise_) payload.own_input_shifts = format_input_shift(own_input_shift(), share.start_neuron, share.filters);
    payload.after_variables.reserve(kBlocksAfterVariables);
    if (lut_) payload.after_variables.emplace_back(dma::Target::Lut, format_lut_values_for_cnp(lut_table_.get()));
    if (merge_ != nullptr) {
      payload.after_variables.emplace_back(dma::Target::MergeShifts, merge_shifts(share.start_neuron, share.filters));
    }
    return payload;
  }

  // The NP's blocks after its registers, in the order weights, input shifts, variables, lookup
  // table, merge shifts. The weights (checked and sized here) and the variables are written
  // straight into their track. `payload` must outlive the blocks.
  void plan(const hw::Ident& ident, const NpPayload& payload, std::vector<program::PlannedBlock>* blocks) const {
    const uint32_t first = payload.share.start_neuron;
    const uint32_t count = payload.share.filters;
    const dma::Target weight_target = depthwise_ ? dwc_dma_target(weights_->shape()[0], weights_bits_) : conv_target_;
    const size_t weight_words = depthwise_ ? depthwise_conv_cnp_weight_words(*weights_, first, count, weights_bits_)
                                           : conv2d_cnp_weight_words(*weights_, first, count, weights_bits_);
    const auto pack = [this, first, count](std::span<uint32_t> words) {
      if (depthwise_) {
        pack_depthwise_conv_cnp_weights(*weights_, first, count, weights_bits_, words);
      } else {
        pack_conv2d_cnp_weights(*weights_, first, count, weights_bits_, words);
      }
    };
    const Words& shifts = depthwise_ ? payload.own_input_shifts : all_input_shifts_;
    const auto write_variables = [this, first, count](std::span<uint32_t> words) {
      variables_.write(first, count, words);
    };
    blocks->push_back({ident, weight_target, 0, weight_words, nullptr, pack});
    blocks->push_back({ident, dma::Target::InputShifts, 0, shifts.size(), &shifts, {}});
    blocks->push_back({ident, dma::Target::ChannelVariables, 0, ChannelVariables::words(count), nullptr, write_variables});
    for (const auto& [target, words] : payload.after_variables) {
      blocks->push_back({ident, target, 0, words.size(), &words, {}});
    }
  }

 private:
  const Dense& own_input_shift() const {
    if (!input_shift_) throw std::runtime_error(missing_input_shift_message(layer_name_));
    return *input_shift_;
  }

  // The shift bytes of the NP's channels (depthwise), or of every channel of the Add.
  Words merge_shifts(uint32_t first, uint32_t count) const {
    const MergeLayerMapInfo& add = *merge_;
    if (depthwise_) return format_merge_layer_shift(add.a_shift, add.b_shift, add.output_shift, first, count);
    const uint32_t channels = add.a_shift ? add.a_shift->shape()[0] : 0;
    return format_merge_layer_shift(add.a_shift, add.b_shift, add.output_shift, 0, channels);
  }

  bool depthwise_;
  std::string layer_name_;
  uint8_t weights_bits_;
  ChannelVariables variables_;
  bool lut_;
  Tensor lut_table_;
  const MergeLayerMapInfo* merge_;  // the Add the layer follows, or null
  Tensor weights_;
  Tensor input_shift_;      // depthwise: null when the layer has none
  Words all_input_shifts_;  // standard: every channel's shifts
  dma::Target conv_target_ = dma::Target::CnpWeights;  // standard: where every NP's weights go
};

}  // namespace

std::unique_ptr<program::Record> record_cnp_conv_layer(const CnpConvForm& form, const Device& device,
                                                       const Layer& layer, const NpRegisterMap& blocks,
                                                       bool registers_only) {
  if (layer.params()->layer_type() != form.type) throw std::runtime_error(kMsgInvalidCnpLayerType);
  const LayerMapping& mapping = cnp_layer_mapping(layer);
  auto record = program::new_record(device.version());
  const NpPayloads payloads(form, layer, mapping, registers_only);

  // Every block of the layer is formatted or sized first, so that each track is sized once.
  std::vector<NpPayloads::NpPayload> prepared;
  if (!registers_only) {
    prepared.reserve(mapping.nps->size());
    for (const hw::Component& np : *mapping.nps) {
      // The builder refused NPs without allocation.
      if (blocks.contains(np.ident)) prepared.push_back(payloads.prepare(*np.allocation));
    }
  }
  const SkipDmaBlocks skip_dma = registers_only ? SkipDmaBlocks{} : skipdma_blocks(layer);
  std::vector<program::PlannedBlock> planned;
  auto payload = prepared.begin();
  for (const hw::Component& np : *mapping.nps) {
    const auto block = blocks.find(np.ident);
    if (block == blocks.end()) continue;
    planned.push_back({np.ident, dma::Target::NpRegisters, 0, block->second.size(), &block->second, {}});
    if (!registers_only) payloads.plan(np.ident, *payload++, &planned);
  }
  skip_dma.plan(&planned);
  program::add_planned_blocks(*record, planned);
  return record;
}

}  // namespace ornix::v2
