#include "backend/v2/fnp_weight_words.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "backend/v2/fnp_input_slots.h"
#include "backend/v2/fnp_recording_messages.h"

namespace ornix::v2 {
namespace {

static_assert(std::endian::native == std::endian::little, "weights are gathered as little-endian words");

constexpr uint32_t kMaxFields = kFnpWordBits / kFnp4Bits;
using Rows = std::array<const uint8_t*, kMaxFields>;

// What the padding fields of a block read.
constexpr std::array<uint8_t, kFnpNeuronBlock> kZeroWeights{};

// [31:28] row 7 | ... | [3:0] row 0: word i of the block from the low nibbles of the rows'
// element i. Byte by byte, so that the loop runs on whole vectors of neurons.
void gather_nibble_words(const Rows& rows, uint32_t count, uint32_t* words) {
  constexpr uint8_t kLow = (1u << kFnp4Bits) - 1;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t word = 0;
    for (uint32_t b = 0; b < kFnpWordBytes; ++b) {
      const auto byte = static_cast<uint8_t>((rows[2 * b][i] & kLow) | rows[2 * b + 1][i] << kFnp4Bits);
      word |= uint32_t{byte} << (b * kFnpByteBits);
    }
    words[i] = word;
  }
}

// [31:24] row 3 | ... | [7:0] row 0: word i of the block from the rows' element i, masked.
void gather_byte_words(const Rows& rows, uint8_t mask, uint32_t count, uint32_t* words) {
  for (uint32_t i = 0; i < count; ++i) {
    words[i] = uint32_t{static_cast<uint8_t>(rows[0][i] & mask)} |
               uint32_t{static_cast<uint8_t>(rows[1][i] & mask)} << kFnpByteBits |
               uint32_t{static_cast<uint8_t>(rows[2][i] & mask)} << 2 * kFnpByteBits |
               uint32_t{static_cast<uint8_t>(rows[3][i] & mask)} << 3 * kFnpByteBits;
  }
}

// The low nibbles of eight consecutive weights, the first in bits 0-3.
uint32_t eight_low_nibbles(const int8_t* weights) {
  uint64_t x;
  std::memcpy(&x, weights, sizeof(x));
  x &= 0x0F0F0F0F0F0F0F0Full;
  x = (x | x >> 4) & 0x00FF00FF00FF00FFull;
  x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
  return static_cast<uint32_t>(x | x >> 16);
}

// Four consecutive weights a byte each, the first in bits 0-7, masked.
uint32_t four_masked_bytes(const int8_t* weights, uint8_t mask) {
  uint32_t x;
  std::memcpy(&x, weights, sizeof(x));
  return x & mask * 0x01010101u;
}

// Keeps the word's bits outside `written`.
void put_word(uint32_t* word, uint32_t value, uint32_t written) {
  *word = written == ~0u ? value : (*word & ~written) | value;
}

}  // namespace

FnpWeightWords::FnpWeightWords(const Shape& shape, InputPadding padding, uint8_t input_bits, uint8_t weights_bits) {
  if (weights_bits != kFnp4Bits && weights_bits != kFnp8Bits) throw std::runtime_error(kMsgFnpWrongWeightsBits);
  slot_bits_ = padding == InputPadding::ChannelRowAligned ? kFnpByteBits : weights_bits;
  per_word_ = kFnpWordBits / slot_bits_;
  field_mask_ = static_cast<uint8_t>((1u << weights_bits) - 1);
  // Slot i is field i mod per_word of word i / per_word, at bit slot_bits x (i mod per_word).
  const std::vector<uint32_t> slots = fnp_input_slots(shape, padding, input_bits);
  Word empty;
  empty.inputs.fill(kFnpPaddingSlot);
  words_.assign((slots.size() + per_word_ - 1) / per_word_, empty);
  for (size_t i = 0; i < slots.size(); ++i) {
    Word& word = words_[i / per_word_];
    const uint32_t field = i % per_word_;
    word.inputs[field] = slots[i];
    if (slots[i] == kFnpPaddingSlot) continue;
    word.written |= uint32_t{field_mask_} << field * slot_bits_;
    largest_ = std::max(largest_, slots[i]);
  }
  for (Word& word : words_) {
    word.run = word.inputs[0] != kFnpPaddingSlot;
    for (uint32_t field = 1; field < per_word_; ++field) word.run &= word.inputs[field] == word.inputs[0] + field;
  }
}

void FnpWeightWords::check(const Dense& weights, uint32_t last) const { weights.at<int8_t>({largest_, last}); }

void FnpWeightWords::write(const Dense& weights, uint32_t first, uint32_t count, uint32_t* image,
                           uint64_t neuron_words) const {
  if (count > kFnpNeuronBlock) throw std::logic_error(kMsgNeuronBlockTooLarge);
  check(weights, first + count - 1);
  if (weights.strides()[1] == 1) return write_block(weights, first, count, image, neuron_words);
  for (uint32_t n = first; n < first + count; ++n) {
    write_neuron(weights, n, image + n * neuron_words + kNeuronParameterWords);
  }
}

void FnpWeightWords::write_block(const Dense& weights, uint32_t first, uint32_t count, uint32_t* image,
                                 uint64_t neuron_words) const {
  // Row k of the weights holds input k of every neuron: a field of the whole block is one run
  // of bytes, and the block's words are gathered together, then spread over the neurons.
  const auto* data = reinterpret_cast<const uint8_t*>(weights.data<int8_t>()) + first;
  const size_t input_stride = weights.strides()[0];
  uint32_t* out = image + first * neuron_words + kNeuronParameterWords;
  std::array<uint32_t, kFnpNeuronBlock> gathered;
  for (size_t w = 0; w < words_.size(); ++w) {
    const Word& word = words_[w];
    if (word.written == 0) continue;
    Rows rows;
    for (uint32_t field = 0; field < per_word_; ++field) {
      const uint32_t input = word.inputs[field];
      rows[field] = input == kFnpPaddingSlot ? kZeroWeights.data() : data + input * input_stride;
    }
    if (slot_bits_ == kFnp4Bits) {
      gather_nibble_words(rows, count, gathered.data());
    } else {
      gather_byte_words(rows, field_mask_, count, gathered.data());
    }
    for (uint32_t i = 0; i < count; ++i) put_word(&out[i * neuron_words + w], gathered[i], word.written);
  }
}

void FnpWeightWords::write_neuron(const Dense& weights, uint32_t neuron, uint32_t* words) const {
  // The neuron's inputs lie side by side when the input stride is 1: a word of consecutive
  // inputs is then read whole.
  const int8_t* inputs = weights.data<int8_t>() + size_t{neuron} * weights.strides()[1];
  const size_t input_stride = weights.strides()[0];
  for (size_t w = 0; w < words_.size(); ++w) {
    const Word& word = words_[w];
    if (word.written == 0) continue;
    uint32_t value = 0;
    if (word.run && input_stride == 1) {
      value = slot_bits_ == kFnp4Bits ? eight_low_nibbles(inputs + word.inputs[0])
                                      : four_masked_bytes(inputs + word.inputs[0], field_mask_);
    } else {
      for (uint32_t field = 0; field < per_word_; ++field) {
        const uint32_t input = word.inputs[field];
        if (input == kFnpPaddingSlot) continue;
        value |= (static_cast<uint8_t>(inputs[input * input_stride]) & uint32_t{field_mask_}) << field * slot_bits_;
      }
    }
    put_word(&words[w], value, word.written);
  }
}

}  // namespace ornix::v2
