#include "pooled_conv_build.h"

#include <algorithm>
#include <stdexcept>

#include "conv_arithmetic.h"
#include "layer_build.h"
#include "layer_messages.h"

namespace ornix {

namespace {

PoolingCalculatedParams build_pooling(const LayerImpl& layer, const ConvKeys& keys, const ConvCalculatedParams& conv,
                                      Padding padding) {
  const ParamReader params(layer);
  PoolingCalculatedParams pool;
  pool.width = conv.output_width;
  pool.height = conv.output_height;
  if (params.get("pool_type", 0, 2) == static_cast<int32_t>(PoolType::NoPooling)) return pool;
  pool.pool_flag = true;
  // A global pooling may name its size along x only.
  const int32_t size_x = params.pool_size(keys.pool_x);
  const int32_t size_y = size_x == -1 ? -1 : params.pool_size(keys.pool_y);
  if (size_x == -1 || size_y == -1) {
    pool.width = std::min(pool.width, 1u);
    pool.height = std::min(pool.height, 1u);
    return pool;
  }
  const int32_t stride_x = params.pool_stride(keys.pool_stride_x, size_x);
  const int32_t stride_y = params.pool_stride(keys.pool_stride_y, size_y);
  const AxisWindow x =
      slide(conv.output_width, static_cast<uint32_t>(size_x), static_cast<uint32_t>(stride_x), padding);
  const AxisWindow y =
      slide(conv.output_height, static_cast<uint32_t>(size_y), static_cast<uint32_t>(stride_y), padding);
  if (x.out == 0 || y.out == 0) {
    throw std::invalid_argument(
        msg::pool_gives_no_output(layer.name(), size_x, size_y, conv.output_width, conv.output_height));
  }
  pool.stride_x = static_cast<int8_t>(stride_x);
  pool.stride_y = static_cast<int8_t>(stride_y);
  pool.width = x.out;
  pool.height = y.out;
  pool.padding = {y.before, y.after, x.before, x.after};
  return pool;
}

}  // namespace

PooledConvBuild build_pooled_conv(const LayerImpl& layer, const LayerInputs& inputs, const Shape& input,
                                  const ConvKeys& keys, ConvForm form) {
  const ParamReader params(layer);
  PooledConvBuild result;
  result.kernel_x = static_cast<uint32_t>(params.get(keys.kernel_x, 1, kParamMax));
  result.kernel_y = static_cast<uint32_t>(params.get(keys.kernel_y, 1, kParamMax));
  const auto stride_x = static_cast<uint32_t>(params.get(keys.stride_x, 1, kParamMax));
  const auto stride_y = static_cast<uint32_t>(params.get(keys.stride_y, 1, kParamMax));
  const auto padding = static_cast<Padding>(params.get("padding", 0, 1));
  result.channels = input[2];
  result.filters =
      form == ConvForm::Depthwise ? result.channels : static_cast<uint32_t>(params.get("filters", 1, kParamMax));

  const AxisWindow x = slide(input[0], result.kernel_x, stride_x, padding);
  const AxisWindow y = slide(input[1], result.kernel_y, stride_y, padding);
  if (x.out == 0 || y.out == 0) {
    throw std::invalid_argument(
        msg::kernel_gives_no_output(layer.name(), result.kernel_x, result.kernel_y, input[0], input[1]));
  }
  const ConvCalculatedParams conv{x.out, y.out, result.filters, y.out, {y.before, y.after, x.before, x.after}};
  const PoolingCalculatedParams pool = build_pooling(layer, keys, conv, padding);

  LayerBuild& build = result.build;
  build = start_build(layer, inputs);
  build.inputs = {input};
  build.output = plane(pool.width, pool.height, result.filters);
  build.conv = conv;
  build.pool = pool;
  const uint64_t positions = product({x.out, y.out});
  const uint64_t kernel = product({result.kernel_x, result.kernel_y});
  switch (form) {
    case ConvForm::Standard:
      build.macs = product({positions, kernel, result.channels, result.filters});
      break;
    case ConvForm::Depthwise:
      build.macs = product({positions, kernel, result.channels});
      break;
    case ConvForm::Separable:
      build.macs = product({positions, result.channels, kernel + result.filters});
      break;
  }
  return result;
}

}  // namespace ornix
