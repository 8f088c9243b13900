#include "backend/v1/conv_params.h"

namespace ornix::v1 {

ConvParams read_conv_params(const Layer& layer) {
  const auto get = [&](const char* key) { return param_of(layer, key); };
  return {get("filters"),        get("kernel_width"),     get("kernel_height"),    get("stride_x"),
          get("stride_y"),       get("padding"),          get("pool_type"),        get("pooling_width"),
          get("pooling_height"), get("pooling_stride_x"), get("pooling_stride_y"), get("weights_bits"),
          get("activation"),     get("act_bits")};
}

}  // namespace ornix::v1
