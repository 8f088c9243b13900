#pragma once

// The rules the four generation-2 convolution checks (conv_constraints.h) are made of. Each
// returns a status of the layer: a success carrying the layer's name, or an error whose
// message holds one line per broken rule, in the order the rules are listed. A broken rule
// never throws; a missing parameter, variable or input shape throws the engine's own error.

#include <cstdint>
#include <span>
#include <string>

#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// An error of the layer with `message` when `broken`, else a success of the layer.
LayerMappingStatus check_rule(const Layer& layer, bool broken, const std::string& message);

// Parameter "weights_bits" as the non-depthwise convolutions read it for their own rules: its
// low 8 bits. The depthwise checks and the shared rules compare the whole value.
int32_t weights_bits_low_byte(const Layer& layer);
int32_t weights_bits_whole(const Layer& layer);

// Rules of every CNP convolution, in order: an activated output of at most 8 bits; input bits
// >= "weights_bits" (whole value, signed); check_cnp_input_size; at most constraints'
// max_filters filters ("filters", or the input channels when the layer has none); at most
// input_shift_memory_size 24-bit words of input shifts.
LayerMappingStatus check_cnp_conv_layer(const HardwareConstraints& constraints, const Layer& layer);

// The first input's width, height and channels against the constraints' maxima, in that order.
LayerMappingStatus check_cnp_input_size(const HardwareConstraints& constraints, const Layer& layer);

// "padding" must be Same.
LayerMappingStatus check_padding_same(const Layer& layer);

// Output bits: with an activation 8, or 4 when `allow_4bit` and the activation is ReLU;
// without one 8 or 28.
LayerMappingStatus check_output_bitwidth(const Layer& layer, bool allow_4bit);

// Pooling a CNP can do after its convolution: none; or, without a convolution stride, max
// pooling of a 1 or 2 window with equal strides, within the input and without a LUT
// activation, or global average pooling with an output of at most 8 bits, of an input at most
// 64 wide whose convolution yields at least one row, of at most 144 values per channel, held
// whole in the single-buffer input memory.
// The layer must have built convolution and pooling parameters (a layer that is not a pooled
// convolution throws std::bad_cast).
LayerMappingStatus check_pooling_constraints(const HardwareConstraints& constraints, const Layer& layer);

// `value` (the layer's input bits, kernel size or weights bits) is one of `allowed`.
LayerMappingStatus check_value_in(const Layer& layer, int32_t value, std::span<const int32_t> allowed,
                                  const std::string& message);

// One filter over all the input channels fits the CNP weight memory: the channel-contiguous
// size of one filter of "kernel_size" at `weights_bits` (8, anything else meaning 4), times
// the input channels, is at most cnp_weight_memory_size. The kernel size must be one the
// weight layouts know (the caller has checked it).
LayerMappingStatus check_filter_fit(const HardwareConstraints& constraints, const Layer& layer, uint8_t weights_bits,
                                    const std::string& message);

// 4-bit `weights_bits` with an 8-bit output is refused when the layer's having an activation
// is `with_activation`.
LayerMappingStatus check_4bit_weights_8bit_output(const Layer& layer, int32_t weights_bits, bool with_activation,
                                                  const std::string& message);

}  // namespace ornix::v2
