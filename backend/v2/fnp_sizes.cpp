#include "backend/v2/fnp_sizes.h"

#include <stdexcept>

#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/fnp_limits.h"
#include "backend/v2/fnp_messages.h"

namespace ornix::v2 {

namespace {

uint32_t div_ceil(uint32_t value, uint32_t divisor) { return value / divisor + (value % divisor != 0 ? 1 : 0); }
uint32_t round_up(uint32_t value, uint32_t multiple) { return div_ceil(value, multiple) * multiple; }
uint32_t round_up4(uint32_t value) { return round_up(value, 4); }

[[noreturn]] void throw_unsupported_padding() { throw std::runtime_error(kMsgUnsupportedPadding); }

// `bits` when a byte holds a whole number of such values, as the row layouts need.
uint32_t byte_grouped_bits(uint8_t bits) {
  if (bits == 0 || kFnpByteBits % bits != 0) throw std::runtime_error(kMsgFnpPaddingUndefined);
  return bits;
}

// Bytes of one line: x values of `bits` bits.
uint32_t line_bytes(uint32_t x, uint32_t bits) { return div_ceil(bits * x, kFnpByteBits); }

// 32-bit words of one row of the row layouts: `channels` lines of `width` values, each line
// starting on a byte (RowAligned) or a word (ChannelRowAligned).
uint32_t row_words(uint32_t width, uint32_t channels, uint32_t bits, InputPadding padding) {
  const uint32_t bytes = line_bytes(width, bits);
  if (padding == InputPadding::RowAligned) return div_ceil(bytes * channels, kFnpWordBytes);
  return round_up4(bytes) / kFnpWordBytes * channels;
}

}  // namespace

uint32_t fnp_input_shift_24b_size(const Dense& input_shift, const Shape& input, InputPadding padding,
                                  uint8_t input_bits) {
  switch (padding) {
    case InputPadding::Packed:
      return div_ceil(static_cast<uint32_t>(input_shift.size()), kShiftsPerWord);
    case InputPadding::RowAligned:
    case InputPadding::ChannelRowAligned: {
      const uint32_t bits = byte_grouped_bits(input_bits);
      const uint32_t slots = row_words(input[0], input[2], bits, padding) * input[1] * kFnpWordBits / bits;
      return div_ceil(slots, kShiftsPerWord);
    }
    default:
      throw_unsupported_padding();
  }
}

uint32_t get_fpksram_size(uint32_t rows, uint32_t width, uint32_t channels, uint8_t bits, InputPadding padding) {
  switch (padding) {
    case InputPadding::RowAligned:
    case InputPadding::ChannelRowAligned:
      return row_words(width, channels, bits, padding) * rows;
    case InputPadding::Packed:
      return div_ceil(bits * width * rows * channels, kFnpWordBits);
    default:
      throw_unsupported_padding();
  }
}

uint32_t get_fnp_input_size(const Layer& layer, bool flat_input) {
  const Shape input = get_fnp_input_dim(layer, flat_input);
  return get_fpksram_size(input[1], input[0], input[2], layer.input_bits(),
                          get_fnp_supported_padding(layer, flat_input));
}

uint32_t get_neuron_word_size(const Shape& input, InputPadding padding, uint8_t input_bits, uint8_t weights_bits) {
  const uint32_t x = input[0];
  const uint32_t y = input[1];
  const uint32_t c = input[2];
  switch (padding) {
    case InputPadding::RowAligned: {
      const uint32_t bits = byte_grouped_bits(input_bits);
      const uint32_t line_slots = round_up(x, kFnpByteBits / bits) * c;
      const uint32_t row_slots = round_up(line_slots, kFnpWordBits / bits);
      return div_ceil(row_slots * weights_bits * y, kFnpWordBits) + kNeuronParameterWords;
    }
    case InputPadding::ChannelRowAligned:
      return row_words(x, c, input_bits, padding) * y + kNeuronParameterWords;
    case InputPadding::Packed:
      return div_ceil(weights_bits * c, kFnpWordBits) + kNeuronParameterWords;
    default:
      throw_unsupported_padding();
  }
}

uint32_t get_layer_word_size(const Dense& weights, uint8_t weights_bits, const Shape& input, InputPadding padding,
                             uint8_t input_bits) {
  return get_neuron_word_size(input, padding, input_bits, weights_bits) * weights.shape()[1];
}

uint32_t get_fnp_sram_size(const Layer& layer) {
  const auto weights = layer.variables().get("weights");
  const auto weights_bits = static_cast<uint8_t>(param_of(layer, "weights_bits"));
  const uint32_t words = get_layer_word_size(*weights, weights_bits, get_fnp_input_dim(layer, false),
                                             get_fnp_supported_padding(layer, false), layer.input_bits());
  return xl_rounded_words(words);
}

}  // namespace ornix::v2
