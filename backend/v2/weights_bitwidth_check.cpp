#include "backend/v2/weights_bitwidth_check.h"

#include "backend/v2/conv_constraint_messages.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

LayerMappingStatus check_weights_bitwidth(const Layer& layer) {
  const int32_t expected = param_of(layer, "weights_bits");
  const int provided = evaluate_bitwidth(*layer.variables().get("weights"));
  if (expected >= provided) return LayerMappingStatus("");
  return LayerMappingError(layer, weights_bitwidth_message(expected, provided));
}

}  // namespace ornix::v2
