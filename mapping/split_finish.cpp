#include "mapping/split_finish.h"

#include <string>

#include "mapping/conv_split.h"
#include "mapping/split_messages.h"
#include "mapping/sram_split.h"

namespace ornix {

SplitResult split_failure(const Layer& layer, const char* message) { return {{}, LayerMappingError(layer, message)}; }

SplitResult finish_split(const Layer& layer, const CompatibilityChecker& checker, const SplitPlan& plan,
                         uint32_t max_filters, bool dual_only, uint32_t max_nps) {
  const DimensionSplit start = split_dimension(plan.params.filters, max_filters, plan.group_alignment);
  if (start.failed()) return split_failure(layer, kMsgCannotSplitByNeurons);
  const DimensionSplit neurons = find_neurons_split(layer, checker, start);
  if (neurons.failed()) return split_failure(layer, kMsgWeightsDoNotFit);

  const SramSplit sram = find_sram_split(layer.input_dimensions().at(0)[2], layer.input_bits(), plan.params, checker,
                                         plan.height, plan.width, neurons, plan.fifo_size, plan.type, dual_only,
                                         v2::get_add_pksram_shift(layer), plan.channels_per_group,
                                         plan.allow_height_split, plan.is_tnp_b);
  if (!sram.found) return split_failure(layer, kMsgInputsDoNotFit);
  // Checked before a component is made: a split can take millions of NPs.
  const uint64_t nps = uint64_t{sram.width.splits} * sram.height.splits * sram.neurons.splits;
  if (nps > max_nps) return {{}, NpsMappingError(layer.name(), hw::to_string(plan.type), nps, max_nps)};
  return {make_split_components(layer, plan.params, sram.width, sram.height, sram.neurons,
                                sram.buffering == SramBuffering::Single, plan.type),
          LayerMappingStatus(std::string())};
}

}  // namespace ornix
