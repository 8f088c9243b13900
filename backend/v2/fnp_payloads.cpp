#include "backend/v2/fnp_payloads.h"

#include <algorithm>
#include <array>
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

// Neurons whose weights are written together.
constexpr uint32_t kMaxNeuronBlock = 64;

using Tensor = std::shared_ptr<const Dense>;

void check_weights_bits(uint8_t weights_bits) {
  if (weights_bits != kFnp4Bits && weights_bits != kFnp8Bits) throw std::runtime_error(kMsgFnpWrongWeightsBits);
}

uint32_t byte_of(int8_t value) { return static_cast<uint8_t>(value); }

// Bits between two weights: a whole byte each with ChannelRowAligned.
uint32_t weight_slot_bits(InputPadding padding, uint8_t weights_bits) {
  return padding == InputPadding::ChannelRowAligned ? kFnpByteBits : weights_bits;
}

// The largest value slot of `slots` (padding slots aside), 0 when all are padding.
uint32_t largest_slot(const std::vector<uint32_t>& slots) {
  uint32_t largest = 0;
  for (const uint32_t slot : slots) {
    if (slot != kFnpPaddingSlot && slot > largest) largest = slot;
  }
  return largest;
}

// The neuron area of `neuron` in `ram`, checked to lie inside it.
uint32_t* neuron_weight_words(std::span<uint32_t> ram, uint32_t neuron, uint64_t neuron_words) {
  const uint64_t end = (uint64_t{neuron} + 1) * neuron_words;
  if (end > ram.size()) throw std::out_of_range(fnp_neuron_outside_image_message(ram.size(), neuron, end));
  return &ram[neuron * neuron_words + kNeuronParameterWords];
}

// Writes the weights of neurons first .. first + count - 1 after their parameter words: slot
// i's weight in the `weights_bits`-bit field at bit slot_bits x i (slot_bits divides 32, so no
// field crosses a word). Word by word: the weights of one word are gathered from their inputs,
// side by side in memory for consecutive neurons, and the word written once. Finding the last
// neuron's area and reading [largest][last] through the engine first check the image, the
// element type and every coordinate read below, which then go through the strides directly.
void write_neuron_weights(std::span<uint32_t> ram, uint64_t neuron_words, const std::vector<uint32_t>& slots,
                          uint32_t largest, const Dense& weights, uint32_t first, uint32_t count, uint32_t slot_bits,
                          uint8_t weights_bits) {
  if (count > kMaxNeuronBlock) throw std::logic_error(kMsgNeuronBlockTooLarge);
  const uint32_t last = first + count - 1;
  neuron_weight_words(ram, last, neuron_words);
  weights.at<int8_t>({largest, last});
  const int8_t* data = weights.data<int8_t>();
  const std::size_t input_stride = weights.strides()[0];
  const std::size_t neuron_stride = weights.strides()[1];
  const uint32_t field = (1u << weights_bits) - 1;
  const uint32_t per_word = kFnpWordBits / slot_bits;
  for (std::size_t start = 0; start < slots.size(); start += per_word) {
    std::array<const int8_t*, kFnpWordBits / kFnp4Bits> inputs;
    std::array<uint32_t, kFnpWordBits / kFnp4Bits> shifts;
    uint32_t used = 0;
    uint32_t written = 0;  // the word's weight fields; padding slots keep their bits
    for (uint32_t k = 0; k < per_word && start + k < slots.size(); ++k) {
      if (slots[start + k] == kFnpPaddingSlot) continue;
      inputs[used] = data + slots[start + k] * input_stride;
      shifts[used] = k * slot_bits;
      written |= field << shifts[used++];
    }
    if (used == 0) continue;
    // The word of every neuron of the block, gathered input by input along the neurons (a loop
    // the compiler vectorizes when neurons lie side by side), then written one per neuron.
    std::array<uint32_t, kMaxNeuronBlock> gathered{};
    for (uint32_t j = 0; j < used; ++j) {
      const int8_t* input = inputs[j] + std::size_t{first} * neuron_stride;
      if (neuron_stride == 1) {
        for (uint32_t i = 0; i < count; ++i) gathered[i] |= (byte_of(input[i]) & field) << shifts[j];
      } else {
        for (uint32_t i = 0; i < count; ++i) gathered[i] |= (byte_of(input[i * neuron_stride]) & field) << shifts[j];
      }
    }
    uint32_t* word = &ram[first * neuron_words + kNeuronParameterWords + start / per_word];
    for (uint32_t i = 0; i < count; ++i, word += neuron_words) *word = (*word & ~written) | gathered[i];
  }
}


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
  const std::vector<uint32_t> slots = fnp_input_slots(shape, padding, input_bits);
  const uint32_t largest = largest_slot(slots);
  const uint32_t slot_bits = weight_slot_bits(padding, weights_bits);
  for (uint32_t first = 0; first < neurons; first += kMaxNeuronBlock) {
    const uint32_t count = std::min(kMaxNeuronBlock, neurons - first);
    // The weights first: they check that the image holds the neurons.
    write_neuron_weights(ram, neuron_words, slots, largest, *weights, first, count, slot_bits, weights_bits);
    for (uint32_t n = first; n < first + count; ++n) variables.write(&ram[std::size_t{n} * neuron_words], n);
  }
  return ram;
}

void format_fnp_input_words(std::span<uint32_t> ram, uint32_t neuron, const Dense& weights, uint8_t weights_bits,
                            const Shape& shape, InputPadding padding, uint8_t input_bits) {
  // Slot i's weight at bit bw x i (a whole byte each, bit 8 x i, for ChannelRowAligned) after the
  // neuron's two parameter words.
  check_weights_bits(weights_bits);
  const uint64_t neuron_words = get_neuron_word_size(shape, padding, input_bits, weights_bits);
  neuron_weight_words(ram, neuron, neuron_words);
  const std::vector<uint32_t> slots = fnp_input_slots(shape, padding, input_bits);
  write_neuron_weights(ram, neuron_words, slots, largest_slot(slots), weights, neuron, 1,
                       weight_slot_bits(padding, weights_bits), weights_bits);
}

}  // namespace ornix::v2
