#include "backend/v2/cnp_conv_recording.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
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

  // What one NP receives after its registers: its weights and variables (sized, written later
  // straight into their track) and its other blocks, formatted.
  struct NpPayload {
    const NpAllocation* share;
    size_t weight_words;
    Words own_input_shifts;                                      // depthwise: its channels' shifts
    std::vector<std::pair<dma::Target, Words>> after_variables;  // lookup table, merge shifts
    size_t words = 0;                                            // of all its blocks, headers included
    size_t words_after_weights = 0;                              // words that join the weights' track after them
  };

  NpPayload prepare(const NpAllocation& share) const {
    const uint32_t first = share.start_neuron;
    const uint32_t count = share.filters;
    NpPayload payload{&share, 0, {}, {}};
    payload.weight_words = depthwise_ ? depthwise_conv_cnp_weight_words(*weights_, first, count, weights_bits_)
                                      : conv2d_cnp_weight_words(*weights_, first, count, weights_bits_);
    if (depthwise_) payload.own_input_shifts = format_input_shift(own_input_shift(), first, count);
    payload.after_variables.reserve(kBlocksAfterVariables);
    if (lut_) payload.after_variables.emplace_back(dma::Target::Lut, format_lut_values_for_cnp(lut_table_.get()));
    if (merge_ != nullptr) payload.after_variables.emplace_back(dma::Target::MergeShifts, merge_shifts(first, count));
    payload.words = dma::kHeaderWords + payload.weight_words + dma::kHeaderWords + input_shifts(payload).size() +
                    dma::kHeaderWords + ChannelVariables::words(count);
    for (const auto& block : payload.after_variables) payload.words += dma::kHeaderWords + block.second.size();
    return payload;
  }

  // Tracks in the order weights, input shifts, variables, lookup table, merge shifts. The
  // weights and the variables are written straight into their track; the weights' track keeps
  // room for the words that join it after them, so that those blocks do not move it.
  void record(program::Record& record, const hw::Ident& ident, const NpPayload& payload) const {
    const uint32_t first = payload.share->start_neuron;
    const uint32_t count = payload.share->filters;
    const dma::Target weight_target = depthwise_ ? dwc_dma_target(weights_->shape()[0], weights_bits_) : conv_target_;
    record.add_np_track(
        ident, weight_target, 0, payload.weight_words,
        [&](std::span<uint32_t> words) {
          if (depthwise_) {
            pack_depthwise_conv_cnp_weights(*weights_, first, count, weights_bits_, words);
          } else {
            pack_conv2d_cnp_weights(*weights_, first, count, weights_bits_, words);
          }
        },
        payload.words_after_weights);
    record.add_np_track(ident, dma::Target::InputShifts, 0, input_shifts(payload));
    record.add_np_track(ident, dma::Target::ChannelVariables, 0, ChannelVariables::words(count),
                        [&](std::span<uint32_t> words) { variables_.write(first, count, words); });
    for (const auto& [target, words] : payload.after_variables) record.add_np_track(ident, target, 0, words);
  }

 private:
  // The input shifts an NP receives: the layer's all, or its own channels' in a depthwise form.
  const Words& input_shifts(const NpPayload& payload) const {
    return depthwise_ ? payload.own_input_shifts : all_input_shifts_;
  }

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

// One NP's blocks: its registers, then its payload (none when recording registers only).
struct NpBlocks {
  const hw::Component* np;
  const Words* registers;
  std::optional<NpPayloads::NpPayload> payload;
  size_t after_registers = 0;  // words that join the registers' track after them
};

// Sets the room each track keeps, when it opens, for the blocks that will join it: a block
// joins the last track unless it needs the extra-large form (large weights), which opens a
// track of its own. From the last NP back, `following` counts the words of the later blocks
// that join the track an NP's blocks end in, starting with the `last_words` that follow the
// NPs' blocks (the layer's skip-DMA blocks).
void plan_track_room(std::vector<NpBlocks>& nps, size_t last_words) {
  size_t following = last_words;
  for (auto np = nps.rbegin(); np != nps.rend(); ++np) {
    np->after_registers = following;
    if (np->payload) {
      NpPayloads::NpPayload& payload = *np->payload;
      payload.words_after_weights = payload.words - dma::kHeaderWords - payload.weight_words + following;
      const bool own_track = payload.weight_words > UINT32_MAX ||
                             dma::config_block_size_needs_xl(static_cast<uint32_t>(payload.weight_words));
      np->after_registers = own_track ? 0 : dma::kHeaderWords + payload.weight_words + payload.words_after_weights;
    }
    following = dma::kHeaderWords + np->registers->size() + np->after_registers;
  }
}

}  // namespace

std::unique_ptr<program::Record> record_cnp_conv_layer(const CnpConvForm& form, const Device& device,
                                                       const Layer& layer, const NpRegisterMap& blocks,
                                                       bool registers_only) {
  if (layer.params()->layer_type() != form.type) throw std::runtime_error(kMsgInvalidCnpLayerType);
  const LayerMapping& mapping = cnp_layer_mapping(layer);
  auto record = program::new_record(device.version());
  const NpPayloads payloads(form, layer, mapping, registers_only);

  // Every NP's blocks are formatted and sized first, so that each track is sized once.
  std::vector<NpBlocks> layer_blocks;
  for (const hw::Component& np : *mapping.nps) {
    const auto block = blocks.find(np.ident);
    if (block == blocks.end()) continue;
    layer_blocks.push_back({&np, &block->second, std::nullopt});
    // The builder refused NPs without allocation.
    if (!registers_only) layer_blocks.back().payload = payloads.prepare(*np.allocation);
  }
  const SkipDmaBlocks skip_dma = registers_only ? SkipDmaBlocks{} : skipdma_blocks(layer);
  plan_track_room(layer_blocks, skip_dma.words());
  for (const NpBlocks& np : layer_blocks) {
    record->add_np_track(np.np->ident, dma::Target::NpRegisters, 0, *np.registers, np.after_registers);
    if (np.payload) payloads.record(*record, np.np->ident, *np.payload);
  }
  skip_dma.add_to(*record);
  return record;
}

}  // namespace ornix::v2
