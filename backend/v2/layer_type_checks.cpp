#include "backend/v2/layer_type_checks.h"

#include "backend/v2/add_constraints.h"
#include "backend/v2/conv_constraints.h"
#include "backend/v2/fnp_constraints.h"
#include "backend/v2/hrc_constraints.h"
#include "backend/v2/tnp_b_constraints.h"

namespace ornix::v2 {

std::optional<LayerMappingStatus> check_layer_type_constraints(const HardwareConstraints& constraints,
                                                               const Layer& layer, const Layer* inbound) {
  switch (layer.params()->layer_type()) {
    case LayerType::Concatenate:
    case LayerType::Dequantizer:
      return LayerMappingStatus(layer);
    case LayerType::Add:
      return check_add_constraints(layer);
    case LayerType::Conv2D:
      return check_conv2d_constraints(constraints, layer);
    case LayerType::DepthwiseConv2D:
      return check_dwconv2d_constraints(constraints, layer);
    case LayerType::Conv2DTranspose:
      return check_conv2dtranspose_constraints(constraints, layer);
    case LayerType::DepthwiseConv2DTranspose:
      return check_dwconv2dtranspose_constraints(constraints, layer);
    case LayerType::InputConv2D:
      return check_input_conv2d_constraints(layer);
    case LayerType::BufferTempConv:
      return check_buffer_temp_conv_constraints(constraints, layer);
    case LayerType::DepthwiseBufferTempConv:
      return check_depthwise_buffer_temp_conv_constraints(constraints, layer);
    case LayerType::Dense1D:
      return check_fnp_constraints(constraints, layer, inbound);
    default:
      return std::nullopt;
  }
}

}  // namespace ornix::v2
