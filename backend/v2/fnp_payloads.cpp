#include "backend/v2/fnp_payloads.h"

#include <memory>
#include <stdexcept>

#include "backend/v2/fnp_input_slots.h"
#include "backend/v2/fnp_limits.h"
#include "backend/v2/fnp_recording_messages.h"
#include "backend/v2/fnp_registers.h"
#include "backend/v2/fnp_sizes.h"
#include "backend/v2/register_format_limits.h"
#include "backend/v2/register_format_messages.h"
#include "backend/v2/shift_lut_format.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

using Tensor = std::shared_ptr<const Dense>;

void check_weights_bits(uint8_t weights_bits) {
  if (weights_bits != kFnp4Bits && weights_bits != kFnp8Bits) throw std::runtime_error(kMsgFnpWrongWeightsBits);
}

uint32_t byte_of(int8_t value) { return static_cast<uint8_t>(value); }

// The per-neuron variables of the image, read once.
struct NeuronVariables {
  explicit NeuronVariables(const Layer& layer) {
    const Variables& variables = layer.variables();
    bias = variables.get("bias");
    bias_shift = variables.get("bias_shift");
    output_scales = variables.get("output_scales");
    output_shift = variables.get("output_shift");
    const bool has_max = variables.has("max_value");
    if (has_max != variables.has("max_value_shift")) {
      throw std::invalid_argument(fnp_half_max_variables_message(layer.name()));
    }
    if (has_max) {
      max_value = variables.get("max_value");
      max_value_shift = variables.get("max_value_shift");
    }
  }

  // [31:24] max value shift | [23:16] max value | [15:8] bias shift | [7:0] bias;
  // [31:16] 0 | [15:8] output shift | [7:0] output scale.
  void write(uint32_t* area, uint32_t n) const {
    set_field(&area[0], fnp::BIAS, byte_of(bias->at<int8_t>({n})));
    set_field(&area[0], fnp::BIAS_SHIFT, bias_shift->at<uint8_t>({n}));
    if (max_value) {
      set_field(&area[0], fnp::MAX_VALUE, max_value->at<uint8_t>({n}));
      set_field(&area[0], fnp::MAX_VALUE_SHIFT, max_value_shift->at<uint8_t>({n}));
    }
    set_field(&area[1], fnp::OUTPUT_SCALES, output_scales->at<uint8_t>({n}));
    set_field(&area[1], fnp::OUTPUT_SHIFT, byte_of(output_shift->at<int8_t>({n})));
  }

  Tensor bias, bias_shift, output_scales, output_shift, max_value, max_value_shift;
};

}  // namespace

std::vector<uint32_t> format_input_shift_fnp(const Dense& input_shift, const Shape& shape, InputPadding padding,
                                             uint8_t input_bits) {
  if (padding == InputPadding::Packed) return format_input_shift(input_shift);
  // Byte i = shift of slot i's value, 0 for padding; words rounded up to an even count.
  const std::vector<uint32_t> slots = fnp_input_slots(shape, padding, input_bits);
  const uint64_t values = uint64_t{shape[0]} * shape[1] * shape[2];
  if (values > input_shift.size()) {
    throw std::invalid_argument(input_shift_out_of_range_message(input_shift.size(), 0, values));
  }
  const uint8_t* shifts = input_shift.data<uint8_t>();
  const std::size_t entries = (slots.size() + kInputShiftsPerEntry - 1) / kInputShiftsPerEntry;
  std::vector<uint32_t> words(entries * kPayloadWordsPerInputShiftEntry, 0);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i] == kFnpPaddingSlot) continue;
    const RegDetail byte{kFnpByteBits * static_cast<uint32_t>(i % kFnpWordBytes), kFnpByteBits};
    set_field(&words[i / kFnpWordBytes], byte, shifts[slots[i]]);
  }
  return words;
}

std::vector<uint32_t> format_fnp_ram(const Layer& layer, bool flat_input, InputPadding padding, uint8_t input_bits,
                                     uint8_t weights_bits) {
  check_weights_bits(weights_bits);
  const Tensor weights = layer.variables().get("weights");
  const NeuronVariables variables(layer);
  const Shape shape = get_fnp_input_dim(layer, flat_input);
  std::vector<uint32_t> ram(get_layer_word_size(*weights, weights_bits, shape, padding, input_bits), 0);
  const uint32_t neuron_words = get_neuron_word_size(shape, padding, input_bits, weights_bits);
  const uint32_t neurons = weights->shape()[1];
  for (uint32_t n = 0; n < neurons; ++n) {
    // The weights first: they check that the image holds the neuron's area.
    format_fnp_input_words(ram, n, *weights, weights_bits, shape, padding, input_bits);
    variables.write(&ram[std::size_t{n} * neuron_words], n);
  }
  return ram;
}

void format_fnp_input_words(std::span<uint32_t> ram, uint32_t neuron, const Dense& weights, uint8_t weights_bits,
                            const Shape& shape, InputPadding padding, uint8_t input_bits) {
  // Slot i's weight at bit bw x i (a whole byte each, bit 8 x i, for ChannelRowAligned) after the
  // neuron's two parameter words.
  check_weights_bits(weights_bits);
  const uint64_t neuron_words = get_neuron_word_size(shape, padding, input_bits, weights_bits);
  const uint64_t end = (uint64_t{neuron} + 1) * neuron_words;
  if (end > ram.size()) throw std::out_of_range(fnp_neuron_outside_image_message(ram.size(), neuron, end));
  uint32_t* weight_words = &ram[neuron * neuron_words + kNeuronParameterWords];
  const uint32_t slot_bits = padding == InputPadding::ChannelRowAligned ? kFnpByteBits : weights_bits;
  const std::vector<uint32_t> slots = fnp_input_slots(shape, padding, input_bits);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i] == kFnpPaddingSlot) continue;
    const uint64_t bit = uint64_t{slot_bits} * i;
    const uint32_t weight = byte_of(weights.at<int8_t>({slots[i], neuron})) & ((1u << weights_bits) - 1);
    set_field(&weight_words[bit / kFnpWordBits], {static_cast<uint32_t>(bit % kFnpWordBits), weights_bits}, weight);
  }
}

}  // namespace ornix::v2
