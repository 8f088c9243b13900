#pragma once

#include <optional>
#include <string>

#include "ornix/layer_geometry.h"
#include "ornix/layer_impl.h"

namespace ornix {

// Base of the convolutions that may pool their output (both generations). Parameters: kernel,
// stride (default 1), "padding" (default Valid; it applies to the pooling too), "pool_type"
// (default NoPooling), pool size (-1: global pooling) and pool stride (absent or negative: the
// pool size; at most 127), "filters" for the non-depthwise forms.
class PooledConvolution : public LayerImpl, public HasConvParams, public HasPoolParams {
 public:
  const std::optional<ConvCalculatedParams>& conv_params() const override { return built().conv; }
  const std::optional<PoolingCalculatedParams>& pool_params() const override { return built().pool; }
  // The built pooling; std::runtime_error "The layer <name> is not built." before.
  const PoolingCalculatedParams& pool_calculated_params() const;

 protected:
  using LayerImpl::LayerImpl;
};

}  // namespace ornix
