#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "ornix/layer_params.h"

// What each layer class stores for the parameters a layer leaves out. A layer's parameters are
// completed from its class's table when the layer is created, so that the software build, the
// checks and the recorders of both generations read the same stored values. Keys missing from
// these tables either have no default (the build requires them) or keep a documented meaning
// of their absence:
// - "output_bits": the layer's built output bits (Layer::output_bits), from "act_bits" with an
//   activation, else 32, or the first inbound layer's for the layers that pass values on;
// - "input_bits" of an input convolution: its inbound layer's output bits, else 8.

namespace ornix {

struct ParamDefault {
  const char* key;
  int32_t value;
  // The value stored instead when the layer's "activation" is NoActivation.
  std::optional<int32_t> without_activation = std::nullopt;
};

inline constexpr int32_t kDefaultStride = 1;
inline constexpr int32_t kDefaultTransposedStride = 2;
inline constexpr int32_t kDefaultPadding = static_cast<int32_t>(Padding::Valid);
inline constexpr int32_t kDefaultPoolType = static_cast<int32_t>(PoolType::NoPooling);
inline constexpr int32_t kDefaultPoolSize = 0;  // no pooling window
inline constexpr int32_t kDefaultActivation = static_cast<int32_t>(ActivationType::NoActivation);
inline constexpr int32_t kDefaultWeightsBits = 8;
inline constexpr int32_t kDefaultActBits = 8;
inline constexpr int32_t kNoActivationBits = 0;
inline constexpr int32_t kDefaultInputBits = 8;
inline constexpr int32_t kDefaultInputSigned = 0;
inline constexpr int32_t kDefaultPaddingValue = 0;

// `table` followed by `entry`.
template <std::size_t N>
constexpr std::array<ParamDefault, N + 1> with_entry(const std::array<ParamDefault, N>& table, ParamDefault entry) {
  std::array<ParamDefault, N + 1> joined{};
  for (std::size_t i = 0; i < N; ++i) joined[i] = table[i];
  joined[N] = entry;
  return joined;
}

// The activation's output width; a layer without activation has none, and the registers of
// both generations then take 0.
inline constexpr ParamDefault kActBitsDefault{"act_bits", kDefaultActBits, kNoActivationBits};

inline constexpr std::array kInputDataDefaults{
    ParamDefault{"input_bits", kDefaultInputBits},
    ParamDefault{"input_signed", kDefaultInputSigned},
};

// InputConvolutional, Convolutional and SeparableConvolutional.
inline constexpr std::array kV1ConvDefaults{
    ParamDefault{"stride_x", kDefaultStride},
    ParamDefault{"stride_y", kDefaultStride},
    ParamDefault{"padding", kDefaultPadding},
    ParamDefault{"pool_type", kDefaultPoolType},
    ParamDefault{"pooling_width", kDefaultPoolSize},
    ParamDefault{"pooling_height", kDefaultPoolSize},
    ParamDefault{"pooling_stride_x", kPoolStrideOfSize},
    ParamDefault{"pooling_stride_y", kPoolStrideOfSize},
    ParamDefault{"weights_bits", kDefaultWeightsBits},
    ParamDefault{"activation", kDefaultActivation},
    kActBitsDefault,
};

// The HRC pads with one value for every channel.
inline constexpr std::array kInputConvolutionalDefaults =
    with_entry(kV1ConvDefaults, ParamDefault{"padding_value", kDefaultPaddingValue});

// FullyConnected, Dense1D, BufferTempConv and DepthwiseBufferTempConv.
inline constexpr std::array kWeightedDefaults{
    ParamDefault{"weights_bits", kDefaultWeightsBits},
    ParamDefault{"activation", kDefaultActivation},
    kActBitsDefault,
};

// Conv2D, InputConv2D and DepthwiseConv2D.
inline constexpr std::array kV2ConvDefaults{
    ParamDefault{"kernel_stride", kDefaultStride},
    ParamDefault{"padding", kDefaultPadding},
    ParamDefault{"pool_type", kDefaultPoolType},
    ParamDefault{"pool_size", kDefaultPoolSize},
    ParamDefault{"pool_stride", kPoolStrideOfSize},
    ParamDefault{"weights_bits", kDefaultWeightsBits},
    ParamDefault{"activation", kDefaultActivation},
    kActBitsDefault,
};

// Conv2DTranspose and DepthwiseConv2DTranspose: they double the plane and never pool.
inline constexpr std::array kTransposedDefaults{
    ParamDefault{"kernel_stride", kDefaultTransposedStride},
    ParamDefault{"pool_type", kDefaultPoolType},
    ParamDefault{"weights_bits", kDefaultWeightsBits},
    ParamDefault{"activation", kDefaultActivation},
    kActBitsDefault,
};

// The layers without weights: StatefulRecurrent, Add, Concatenate, ExtractToken, Dequantizer.
inline constexpr std::array kActivationDefaults{
    ParamDefault{"activation", kDefaultActivation},
    kActBitsDefault,
};

// A copy of `params` holding, besides its own values, the default of each key of `defaults`
// it leaves out.
std::unique_ptr<LayerParams> complete_params(const LayerParams& params, std::span<const ParamDefault> defaults);

}  // namespace ornix
