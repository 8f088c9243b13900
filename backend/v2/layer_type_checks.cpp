#include "backend/v2/layer_type_checks.h"

#include "backend/v2/hrc_constraints.h"
#include "backend/v2/not_available.h"

namespace ornix::v2 {

std::optional<LayerMappingStatus> check_layer_type_constraints(const HardwareConstraints&, const Layer& layer,
                                                               const Layer*) {
  switch (layer.params()->layer_type()) {
    case LayerType::Concatenate:
    case LayerType::Dequantizer:
      return LayerMappingStatus(layer);
    case LayerType::Add:
      throw_not_available("The Add layer check");
    case LayerType::Conv2D:
    case LayerType::DepthwiseConv2D:
    case LayerType::Conv2DTranspose:
    case LayerType::DepthwiseConv2DTranspose:
      throw_not_available("The convolution layer check");
    case LayerType::InputConv2D:
      return check_input_conv2d_constraints(layer);
    case LayerType::BufferTempConv:
    case LayerType::DepthwiseBufferTempConv:
      throw_not_available("The buffered temporal convolution check");
    case LayerType::Dense1D:
      throw_not_available("The Dense1D layer check");
    default:
      return std::nullopt;
  }
}

}  // namespace ornix::v2
