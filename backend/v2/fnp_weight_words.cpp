#include "backend/v2/fnp_weight_words.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "backend/v2/fnp_input_slots.h"
#include "backend/v2/fnp_recording_messages.h"
#include "backend/v2/weight_nibbles.h"

namespace ornix::v2 {
namespace {

static_assert(std::endian::native == std::endian::little, "weights are gathered as little-endian words");

constexpr uint32_t kMaxFields = kFnpWordBits / kFnp4Bits;
using Rows = std::array<const uint8_t*, kMaxFields>;

// Words of each neuron gathered before they are written side by side.
constexpr size_t kTileWords = 8;

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

// Words gathered for a block of neurons: word t of neuron i in [t][i].
using Tile = std::array<std::array<uint32_t, kFnpNeuronBlock>, kTileWords>;
// The bits of each word of a tile that keep their value: those of its padding fields.
using Kept = std::array<uint32_t, kTileWords>;

// Words 0 .. kTileWords - 1 of the block's neurons (neuron 0 at `words`, the next ones
// `neuron_words` apart) from the tile: stored whole unless a word keeps bits.
void spread_tile(const Tile& tile, const Kept& kept, uint32_t count, uint32_t* words, uint64_t neuron_words) {
  if (kept == Kept{}) {
    for (uint32_t i = 0; i < count; ++i, words += neuron_words) {
      for (size_t t = 0; t < kTileWords; ++t) words[t] = tile[t][i];
    }
    return;
  }
  for (uint32_t i = 0; i < count; ++i, words += neuron_words) {
    for (size_t t = 0; t < kTileWords; ++t) words[t] = (words[t] & kept[t]) | tile[t][i];
  }
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
    word.value_fields[word.values++] = static_cast<uint8_t>(field);
    word.written |= uint32_t{field_mask_} << field * slot_bits_;
    largest_ = std::max(largest_, slots[i]);
  }
  // Whether the word's value fields are every `step`-th field from field 0, all of them, and
  // hold consecutive inputs.
  const auto consecutive = [&](const Word& word, uint32_t step) {
    if (uint32_t{word.values} * step != per_word_) return false;
    for (uint32_t v = 0; v < word.values; ++v) {
      if (word.value_fields[v] != v * step || word.inputs[v * step] != word.inputs[0] + v) return false;
    }
    return true;
  };
  for (Word& word : words_) {
    if (slot_bits_ == kFnp4Bits && consecutive(word, 1)) {
      word.read = Read::Nibbles;
    } else if (consecutive(word, kFnpByteBits / slot_bits_)) {
      word.read = Read::Bytes;
    }
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
  // of bytes. The block's words are gathered a tile of words at a time, then spread over the
  // neurons, the tile's words of a neuron side by side.
  const auto* data = reinterpret_cast<const uint8_t*>(weights.data<int8_t>()) + first;
  const size_t input_stride = weights.strides()[0];
  uint32_t* out = image + first * neuron_words + kNeuronParameterWords;
  const auto gather = [&](const Word& word, uint32_t* gathered) {
    Rows rows;
    for (uint32_t field = 0; field < per_word_; ++field) {
      const uint32_t input = word.inputs[field];
      rows[field] = input == kFnpPaddingSlot ? kZeroWeights.data() : data + input * input_stride;
    }
    if (slot_bits_ == kFnp4Bits) {
      gather_nibble_words(rows, count, gathered);
    } else {
      gather_byte_words(rows, field_mask_, count, gathered);
    }
  };
  Tile tile;
  size_t start = 0;
  for (; start + kTileWords <= words_.size(); start += kTileWords) {
    Kept kept;
    for (size_t t = 0; t < kTileWords; ++t) {
      kept[t] = ~words_[start + t].written;
      gather(words_[start + t], tile[t].data());
    }
    spread_tile(tile, kept, count, out + start, neuron_words);
  }
  for (; start < words_.size(); ++start) {
    gather(words_[start], tile[0].data());
    for (uint32_t i = 0; i < count; ++i) put_word(&out[i * neuron_words + start], tile[0][i], words_[start].written);
  }
}

void FnpWeightWords::write_neuron(const Dense& weights, uint32_t neuron, uint32_t* words) const {
  // The neuron's inputs lie side by side when the input stride is 1: a word of consecutive
  // inputs is then read whole; any other word field by field, its value fields only.
  const int8_t* inputs = weights.data<int8_t>() + size_t{neuron} * weights.strides()[1];
  const size_t input_stride = weights.strides()[0];
  const uint32_t slot_bits = slot_bits_;
  const uint8_t mask = field_mask_;
  for (size_t w = 0; w < words_.size(); ++w) {
    const Word& word = words_[w];
    uint32_t value = 0;
    if (word.read == Read::Nibbles && input_stride == 1) {
      value = eight_low_nibbles(inputs + word.inputs[0]);
    } else if (word.read == Read::Bytes && input_stride == 1) {
      value = four_masked_bytes(inputs + word.inputs[0], mask);
    } else {
      for (uint32_t v = 0; v < word.values; ++v) {
        const uint32_t field = word.value_fields[v];
        value |= uint32_t{static_cast<uint8_t>(inputs[word.inputs[field] * input_stride] & mask)} << field * slot_bits;
      }
    }
    put_word(&words[w], value, word.written);
  }
}

}  // namespace ornix::v2
