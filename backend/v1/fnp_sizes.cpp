#include "backend/v1/fnp_sizes.h"

#include "backend/v1/fnp_limits.h"
#include "backend/v1/np_registers.h"
#include "ornix/dma/config_header.h"

namespace ornix::v1 {

namespace {

uint32_t ceil_div(uint32_t n, uint32_t d) { return (n + d - 1) / d; }

}  // namespace

uint32_t fnp_weight_planes(int bits) { return bits == 1 ? 1 : 2 * static_cast<uint32_t>(bits - 1); }

uint32_t fnp_sram_size(const Shape& shape, int bits) {
  return (ceil_div(shape[1], kFnpChunkInputs) * fnp_weight_planes(bits) + kFnpNeuronHeaderWords) * shape[0];
}

uint32_t get_fnp_sram_size(const Layer& layer) {
  const uint32_t size = fnp_sram_size(layer.variables().get("weights")->shape(), param_of(layer, "weights_bits"));
  if (!dma::config_block_size_needs_xl(size)) return size;
  return ceil_div(size, kFnpXlRoundWords) * kFnpXlRoundWords;
}

uint32_t get_fnp_input_size(const Layer& layer) {
  const Shape input = layer.input_dimensions().at(0);
  return (input[0] * input[1] * input[2] + kFnpChunkInputs - 1) / kFnpChunkInputs;
}

bool is_fnp_type_compatible(const HardwareConstraints& constraints, const Layer& layer, hw::Type type) {
  if (type == hw::Type::FNP2) return true;
  // The FNP3 registers carry the image's size in a field of their own, whatever the budget.
  const uint32_t image = fnp_sram_size(layer.variables().get("weights")->shape(), param_of(layer, "weights_bits"));
  return image < (uint32_t{1} << FNP4_W_SIZE_LAST.width) && get_fnp_sram_size(layer) <= constraints.fnp3_sram_size;
}

}  // namespace ornix::v1
