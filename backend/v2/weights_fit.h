#pragma once

#include <cstdint>

#include "ornix/layer.h"

namespace ornix::v2 {

// The weights of `filters` filters of a CNP or TNP-B layer (Conv2D, Conv2DTranspose,
// DepthwiseConv2D, DepthwiseConv2DTranspose, BufferTempConv, DepthwiseBufferTempConv), in
// 100-bit weight-memory words, as one NP holds them. The layer is in a model (its input
// channels are read) and has the parameters its size needs ("kernel_size" and "weights_bits",
// or "fifo_size"); the size functions refuse kernel sizes they have no layout for.
// std::invalid_argument "Unexpected layer type for CNP or TNP-B." for any other type.
uint32_t get_weights_100b_size(const Layer& layer, uint32_t filters);

}  // namespace ornix::v2
