#pragma once

// The weights of a Dense1D layer's neurons as the FNP memory image holds them. After a neuron's
// parameter words: one weight per input slot of fnp_input_slots in slot order, the low
// `weights_bits` bits of the signed 8-bit element [k][neuron] of the weights (read through
// their strides; padding slots weight 0), packed from the least significant bit of a byte
// upward, 8 / `weights_bits` to a byte; with ChannelRowAligned every weight takes a whole byte.
// No field crosses a word.

#include <array>
#include <cstdint>
#include <vector>

#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/fnp_limits.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

// Which input each weight field of a neuron's words holds, worked out once per layer, and the
// writer of those words for a block of neurons.
class FnpWeightWords {
 public:
  // The fields of an input of `shape` in `padding`. Failures: `weights_bits` other than 4 or 8,
  // std::runtime_error "Wrong weight bitwidth at FNP recording."; those of fnp_input_slots.
  FnpWeightWords(const Shape& shape, InputPadding padding, uint8_t input_bits, uint8_t weights_bits);

  // Checks that `weights` (inputs, neurons) are 8-bit signed elements (int8, int4, int2 or bit;
  // any other type panics in the engine) holding every input a slot reads for neuron `last`
  // (a coordinate past the shape panics "Coordinates are out-of-range").
  void check(const Dense& weights, uint32_t last) const;

  // Writes the weight words of neurons first .. first + count - 1 (at most kFnpNeuronBlock,
  // std::logic_error otherwise) after checking them as above: neuron n's from word
  // n x `neuron_words` + kNeuronParameterWords of `image`, which the caller has checked to hold
  // them. Bits of padding slots are left as they are.
  void write(const Dense& weights, uint32_t first, uint32_t count, uint32_t* image, uint64_t neuron_words) const;

 private:
  // How a neuron's word is read when the neuron's inputs lie side by side.
  enum class Read : uint8_t {
    Fields,   // value field by value field
    Nibbles,  // eight consecutive inputs from field 0, one to a 4-bit field
    Bytes,    // four consecutive inputs from field 0, one to a byte (8-bit fields, or every other 4-bit one)
  };

  // One weight word: the input of each field (kFnpPaddingSlot for none), the fields that hold
  // one (value fields) in order, and the bits of its value fields.
  struct Word {
    std::array<uint32_t, kFnpWordBits / kFnp4Bits> inputs;
    std::array<uint8_t, kFnpWordBits / kFnp4Bits> value_fields;
    uint8_t values = 0;
    uint32_t written = 0;
    Read read = Read::Fields;
  };

  // Neurons side by side in memory: a few words at a time, the fields of the whole block at once.
  void write_block(const Dense& weights, uint32_t first, uint32_t count, uint32_t* image,
                   uint64_t neuron_words) const;
  // Otherwise neuron by neuron, each word from its inputs.
  void write_neuron(const Dense& weights, uint32_t neuron, uint32_t* words) const;

  std::vector<Word> words_;
  uint32_t slot_bits_;   // bits between two fields
  uint32_t per_word_;    // fields of a word
  uint8_t field_mask_;   // the low `weights_bits` bits
  uint32_t largest_ = 0;  // the largest input read, 0 when every slot is padding
};

}  // namespace ornix::v2
