#include "backend/v1/conv_params.h"

namespace ornix::v1 {

namespace {

template <typename Get>
ConvParams read(const Get& get) {
  return {get("filters"),        get("kernel_width"),     get("kernel_height"),    get("stride_x"),
          get("stride_y"),       get("padding"),          get("pool_type"),        get("pooling_width"),
          get("pooling_height"), get("pooling_stride_x"), get("pooling_stride_y"), get("weights_bits"),
          get("activation"),     get("act_bits")};
}

}  // namespace

ConvParams read_conv_params(const Layer& layer) {
  return read([&](const char* key) { return param_of(layer, key); });
}

ConvParams read_conv_params(const LayerParams& params) {
  return read([&](const char* key) { return params.get(key); });
}

}  // namespace ornix::v1
