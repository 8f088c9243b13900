#include "ornix/layers/pooled_convolution.h"

#include <stdexcept>

#include "layer_messages.h"

namespace ornix {

const PoolingCalculatedParams& PooledConvolution::pool_calculated_params() const {
  if (!built().pool) throw std::runtime_error(msg::not_built(name()));
  return *built().pool;
}

}  // namespace ornix
