#pragma once

#include <cstdint>

namespace ornix {

// The kind of an engine layer, as its parameters carry it. Values without a member (7 to 11,
// 13, 23, 24) name no layer this engine makes.
enum class LayerType : uint32_t {
  Unknown = 0,
  InputData = 1,
  InputConvolutional = 2,
  FullyConnected = 3,
  Convolutional = 4,
  SeparableConvolutional = 5,
  Add = 6,
  Concatenate = 12,
  Conv2D = 14,
  InputConv2D = 15,
  DepthwiseConv2D = 16,
  Conv2DTranspose = 17,
  ExtractToken = 18,
  Dequantizer = 19,
  DepthwiseConv2DTranspose = 20,
  BufferTempConv = 21,
  DepthwiseBufferTempConv = 22,
  Dense1D = 25,
  StatefulRecurrent = 26,
};

// Parameter "activation".
enum class ActivationType : uint32_t { NoActivation = 0, ReLU = 1, LUT = 2 };

// Parameter "pool_type".
enum class PoolType : uint32_t { NoPooling = 0, Max = 1, Average = 2 };

// Parameter "padding": Valid adds nothing; Same pads so that the output size is the input size
// divided by the stride, rounded up.
enum class Padding : uint32_t { Valid = 0, Same = 1 };

}  // namespace ornix
