#include "backend/v2/fnp_payloads.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "backend/v2/fnp_input_slots.h"
#include "backend/v2/fnp_limits.h"
#include "backend/v2/fnp_recording_messages.h"
#include "backend/v2/fnp_sizes.h"
#include "backend/v2/register_format_limits.h"
#include "backend/v2/register_format_messages.h"
#include "backend/v2/shift_lut_format.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

void check_weights_bits(uint8_t weights_bits) {
  if (weights_bits != kFnp4Bits && weights_bits != kFnp8Bits) throw std::runtime_error(kMsgFnpWrongWeightsBits);
}

// The area of `neuron`, get_neuron_word_size words from word neuron x `neuron_words`, checked to
// lie inside `ram`.
uint32_t* neuron_area(std::span<uint32_t> ram, uint32_t neuron, uint64_t neuron_words) {
  const uint64_t end = (uint64_t{neuron} + 1) * neuron_words;
  if (end > ram.size()) throw std::out_of_range(fnp_neuron_outside_image_message(ram.size(), neuron, end));
  return &ram[neuron * neuron_words];
}

std::shared_ptr<const Dense> weights_of(const Layer& layer, uint8_t weights_bits) {
  check_weights_bits(weights_bits);
  return layer.variables().get("weights");
}

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

FnpRamImage::FnpRamImage(const Layer& layer, bool flat_input, InputPadding padding, uint8_t input_bits,
                         uint8_t weights_bits)
    : weights_(weights_of(layer, weights_bits)),
      parameters_(layer),
      shape_(get_fnp_input_dim(layer, flat_input)),
      words_(get_layer_word_size(*weights_, weights_bits, shape_, padding, input_bits)),
      neuron_words_(get_neuron_word_size(shape_, padding, input_bits, weights_bits)),
      weight_words_(shape_, padding, input_bits, weights_bits),
      neurons_(weights_->shape()[1]) {
  if (neurons_ == 0) return;
  weight_words_.check(*weights_, neurons_ - 1);
  parameters_.check(neurons_);
}

void FnpRamImage::write(std::span<uint32_t> image) const {
  if (neurons_ == 0) return;
  neuron_area(image, neurons_ - 1, neuron_words_);
  // Block by block, the weights and then the parameters of its neurons, while their areas are
  // at hand.
  for (uint32_t first = 0; first < neurons_; first += kFnpNeuronBlock) {
    const uint32_t count = std::min(kFnpNeuronBlock, neurons_ - first);
    weight_words_.write(*weights_, first, count, image.data(), neuron_words_);
    for (uint32_t n = first; n < first + count; ++n) parameters_.write(&image[size_t{n} * neuron_words_], n);
  }
}

std::vector<uint32_t> format_fnp_ram(const Layer& layer, bool flat_input, InputPadding padding, uint8_t input_bits,
                                     uint8_t weights_bits) {
  const FnpRamImage image(layer, flat_input, padding, input_bits, weights_bits);
  std::vector<uint32_t> ram(image.words(), 0);
  image.write(ram);
  return ram;
}

void format_fnp_input_words(std::span<uint32_t> ram, uint32_t neuron, const Dense& weights, uint8_t weights_bits,
                            const Shape& shape, InputPadding padding, uint8_t input_bits) {
  check_weights_bits(weights_bits);
  const uint64_t neuron_words = get_neuron_word_size(shape, padding, input_bits, weights_bits);
  neuron_area(ram, neuron, neuron_words);
  FnpWeightWords(shape, padding, input_bits, weights_bits).write(weights, neuron, 1, ram.data(), neuron_words);
}

}  // namespace ornix::v2
