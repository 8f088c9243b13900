#include "mapping/split_components.h"

#include <algorithm>

#include "mapping/split_messages.h"
#include "ornix/layer_geometry.h"
#include "ornix/panic.h"

namespace ornix {

namespace {

// The layer's pooling padding before its first row and before its first column.
struct LeadingPadding {
  uint32_t rows = 0;
  uint32_t columns = 0;
};

LeadingPadding pooling_padding(const Layer& layer) {
  const auto* pooled = dynamic_cast<const HasPoolParams*>(&layer);
  if (pooled == nullptr || !pooled->pool_params()) return {};
  return {pooled->pool_params()->padding.top, pooled->pool_params()->padding.left};
}

// The extent of the piece starting at `start` of an axis of `total`. A first piece that does not
// span the axis leaves out the pooling padding before it, when that is smaller than the piece.
uint32_t piece_extent(uint32_t start, uint32_t total, uint32_t split_size, uint32_t padding) {
  uint32_t extent = std::min(total - start, split_size);
  if (start == 0 && extent != total && padding != 0 && padding < extent) extent -= padding;
  return extent;
}

// A halo that takes a window beyond 32 bits counts as the empty window it would wrap to.
Shape window_shape(uint64_t width, uint64_t height, uint32_t channels) {
  if (width == 0 || height == 0 || channels == 0 || width > UINT32_MAX || height > UINT32_MAX) {
    panic("%s", kMsgZeroWindowDimension);
  }
  return Shape{static_cast<uint32_t>(width), static_cast<uint32_t>(height), channels};
}

}  // namespace

std::vector<hw::Component> make_split_components(const Layer& layer, const NpSplitParams& params,
                                                 const DimensionSplit& width, const DimensionSplit& height,
                                                 const DimensionSplit& neurons, bool single_buffer, hw::Type type) {
  const Shape input = layer.input_dimensions().at(0);
  const LeadingPadding padding = pooling_padding(layer);
  const bool channelwise = layer.is_channelwise();
  std::vector<hw::Component> components;
  uint32_t x = 0;
  for (uint32_t i = 0; i < width.splits; ++i) {
    const uint32_t w = piece_extent(x, input[0], width.split_size, padding.columns);
    const uint32_t left = std::min(params.left, x);
    const uint32_t right = i + 1 < width.splits ? params.right : 0;
    uint32_t y = 0;
    for (uint32_t j = 0; j < height.splits; ++j) {
      const uint32_t h = piece_extent(y, input[1], height.split_size, padding.rows);
      const uint32_t top = std::min(params.top, y);
      const uint32_t bottom = j + 1 < height.splits ? params.bottom : 0;
      uint32_t start = 0;
      uint32_t remaining = params.filters;
      for (uint32_t g = 0; g < neurons.splits; ++g) {
        const uint32_t filters = std::min(neurons.split_size, remaining);
        const uint32_t channels = channelwise ? filters : input[2];
        const NpSpace window{x, y, window_shape(w, h, channels)};
        const NpSpace padded{x - left, y - top,
                             window_shape(uint64_t{left} + w + right, uint64_t{top} + h + bottom, channels)};
        components.push_back({type, hw::Ident{}, NpAllocation{start, filters, window, padded, single_buffer}, {}});
        start += neurons.split_size;
        remaining -= std::min(neurons.split_size, remaining);
      }
      y += h;
    }
    x += w;
  }
  return components;
}

}  // namespace ornix
