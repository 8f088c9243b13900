#include "backend/v1/fnp_ram_format.h"

#include <algorithm>
#include <stdexcept>

#include "backend/v1/fnp_error.h"
#include "backend/v1/fnp_limits.h"
#include "backend/v1/fnp_messages.h"
#include "backend/v1/fnp_sizes.h"
#include "program/register_field.h"

namespace ornix::v1 {

namespace {

// The geometry of the image.
struct ImageLayout {
  uint32_t neurons = 0;
  uint32_t inputs = 0;
  uint32_t chunks = 0;        // ceil(inputs / 32)
  uint32_t planes = 0;        // M: magnitude planes per group
  uint32_t block_words = 0;   // B
  bool negatives = false;     // a negative group follows the positive one
  uint32_t group_words() const { return chunks * planes; }
};

// Neurons whose blocks are gathered together.
constexpr uint32_t kNeuronBlock = 64;

// Inputs whose bits one byte of a plane word holds, and the bytes of a word.
constexpr uint32_t kInputsPerByte = 8;
constexpr uint32_t kBytesPerWord = kFnpChunkInputs / kInputsPerByte;

// The weight planes of one chunk of 32 inputs for neurons first .. first + count - 1:
// [group][plane][neuron], the positive group first. The bits gather in byte lanes, eight inputs
// to a byte ([group][plane][byte][neuron] in `bytes`), with no branch per weight (the bits
// follow no pattern a branch predictor could learn) and, for neurons side by side (the engine's
// reversed layout), in loops the compiler vectorizes; each plane word is then put together from
// its four bytes.
void gather_chunk(const Dense& weights, const ImageLayout& layout, uint32_t chunk, uint32_t first_neuron,
                  uint32_t count, uint8_t* bytes, uint32_t* planes) {
  const int8_t* data = weights.data<int8_t>() + static_cast<size_t>(first_neuron) * weights.strides()[0];
  const size_t neuron_stride = weights.strides()[0];
  const size_t input_stride = weights.strides()[1];
  const size_t plane_bytes = size_t{kBytesPerWord} * kNeuronBlock;
  std::fill(bytes, bytes + size_t{2} * layout.planes * plane_bytes, 0);
  const uint32_t first = chunk * kFnpChunkInputs;
  const uint32_t last = std::min(first + kFnpChunkInputs, layout.inputs);
  uint8_t positive[kNeuronBlock];
  uint8_t negative[kNeuronBlock];
  for (uint32_t i = first; i < last; ++i) {
    const uint32_t at = i % kFnpChunkInputs;
    const auto bit = static_cast<uint8_t>(1u << (at % kInputsPerByte));
    const int8_t* column = data + static_cast<size_t>(i) * input_stride;
    // Magnitudes of the positive and of the negative weights of this input.
    const auto split = [&](size_t t, int8_t w) {
      const auto magnitude = static_cast<uint8_t>(w < 0 ? -w : w);
      positive[t] = w > 0 ? magnitude : uint8_t{0};
      negative[t] = w < 0 ? magnitude : uint8_t{0};
    };
    if (neuron_stride == 1) {
      for (size_t t = 0; t < count; ++t) split(t, column[t]);
    } else {
      for (size_t t = 0; t < count; ++t) split(t, column[t * neuron_stride]);
    }
    for (uint32_t m = 0; m < layout.planes; ++m) {
      const auto plane_bit = static_cast<uint8_t>(1u << m);
      uint8_t* to_positive = bytes + static_cast<size_t>(m) * plane_bytes + (at / kInputsPerByte) * kNeuronBlock;
      uint8_t* to_negative = to_positive + static_cast<size_t>(layout.planes) * plane_bytes;
      for (size_t t = 0; t < count; ++t) {
        to_positive[t] |= (positive[t] & plane_bit) != 0 ? bit : uint8_t{0};
        to_negative[t] |= (negative[t] & plane_bit) != 0 ? bit : uint8_t{0};
      }
    }
  }
  for (uint32_t p = 0; p < 2 * layout.planes; ++p) {
    const uint8_t* from = bytes + p * plane_bytes;
    uint32_t* word = planes + static_cast<size_t>(p) * kNeuronBlock;
    for (size_t t = 0; t < count; ++t) {
      word[t] = uint32_t{from[t]} | uint32_t{from[kNeuronBlock + t]} << 8 | uint32_t{from[2 * kNeuronBlock + t]} << 16 |
                uint32_t{from[3 * kNeuronBlock + t]} << 24;
    }
  }
}

// 1-bit weights have no negative group: the first negative weight, input by input and neuron
// by neuron within an input, is refused.
void refuse_negative_1bit_weights(const Dense& weights, const ImageLayout& layout) {
  const int8_t* data = weights.data<int8_t>();
  const size_t neuron_stride = weights.strides()[0];
  const size_t input_stride = weights.strides()[1];
  for (uint32_t i = 0; i < layout.inputs; ++i) {
    const int8_t* column = data + static_cast<size_t>(i) * input_stride;
    bool negative = false;
    for (size_t n = 0; n < layout.neurons; ++n) negative |= column[n * neuron_stride] < 0;
    for (uint32_t n = 0; negative && n < layout.neurons; ++n) {
      const int32_t w = column[n * neuron_stride];
      if (w < 0) throw FnpError(fnp_negative_1bit_weight_message(n, i, w));
    }
  }
}

// A block of neurons at a time: the planes of all its chunks are gathered, then each neuron's
// block is written whole, in order.
void write_weights(const Dense& weights, const ImageLayout& layout, std::span<uint32_t> image) {
  if (!layout.negatives) refuse_negative_1bit_weights(weights, layout);
  const size_t chunk_planes = size_t{2} * layout.planes * kNeuronBlock;
  std::vector<uint32_t> planes(layout.chunks * chunk_planes);
  std::vector<uint8_t> bytes(chunk_planes * kBytesPerWord);
  for (uint32_t first = 0; first < layout.neurons; first += kNeuronBlock) {
    const uint32_t count = std::min(kNeuronBlock, layout.neurons - first);
    for (uint32_t chunk = 0; chunk < layout.chunks; ++chunk) {
      gather_chunk(weights, layout, chunk, first, count, bytes.data(), planes.data() + chunk * chunk_planes);
    }
    for (uint32_t t = 0; t < count; ++t) {
      uint32_t* block = image.data() + static_cast<size_t>(first + t) * layout.block_words + kFnpNeuronHeaderWords;
      for (uint32_t chunk = 0; chunk < layout.chunks; ++chunk) {
        const uint32_t* from = planes.data() + chunk * chunk_planes + t;
        uint32_t* positive = block + static_cast<size_t>(chunk) * layout.planes;
        for (uint32_t m = 0; m < layout.planes; ++m) {
          positive[m] = from[m * kNeuronBlock];
          if (layout.negatives) positive[layout.group_words() + m] = from[(layout.planes + m) * kNeuronBlock];
        }
      }
    }
  }
}

// [19:0] threshold of word 0 and step of word 1 of every block.
void write_neuron_parameters(const Dense& threshold, const Dense& steps, const ImageLayout& layout, bool activation,
                             std::span<uint32_t> image) {
  if (!activation) {
    for (uint32_t n = 0; n < layout.neurons; ++n) {
      image[static_cast<size_t>(n) * layout.block_words + kFnpBlockThresholdWord] = kFnpNoActivationThreshold;
    }
    return;
  }
  if (threshold.size() < layout.neurons || steps.size() < layout.neurons) {
    throw std::invalid_argument(kMsgFnpNeuronValues);
  }
  const int32_t* thresholds = threshold.data<int32_t>();
  const int32_t* step_values = steps.data<int32_t>();
  for (uint32_t n = 0; n < layout.neurons; ++n) {
    const size_t base = static_cast<size_t>(n) * layout.block_words;
    image[base + kFnpBlockThresholdWord] =
        int32_to_intN<kFnpThresholdBits>(thresholds[static_cast<size_t>(n) * threshold.strides()[0]]);
    const auto step = static_cast<uint32_t>(step_values[static_cast<size_t>(n) * steps.strides()[0]]);
    if (step > kFnpMaxStep) throw FnpError(fnp_act_step_message(static_cast<int32_t>(step) / int32_t{kFnpStepScale}));
    image[base + kFnpBlockStepWord] = step;
  }
}

}  // namespace

size_t fnp_ram_words(const Dense& weights, int bits) {
  if (weights.shape().size() != 2) throw std::invalid_argument(kMsgFnpWeightsRank);
  if (bits < 1) throw std::invalid_argument(kMsgFnpWeightsBits);
  return fnp_sram_size(weights.shape(), bits);
}

void write_fnp_ram(std::span<uint32_t> image, const Dense& weights, const Dense& threshold, const Dense& steps,
                   int bits, bool activation) {
  fnp_ram_words(weights, bits);  // the rank and width checks
  const Shape& shape = weights.shape();
  ImageLayout layout;
  layout.neurons = shape[0];
  layout.inputs = shape[1];
  layout.chunks = (layout.inputs + kFnpChunkInputs - 1) / kFnpChunkInputs;
  layout.planes = bits == 1 ? 1 : static_cast<uint32_t>(bits - 1);
  layout.negatives = bits > 1;
  layout.block_words = kFnpNeuronHeaderWords + layout.chunks * fnp_weight_planes(bits);
  // Every block lies inside the image; checked once here.
  if (static_cast<size_t>(layout.neurons) * layout.block_words > image.size()) {
    throw std::out_of_range(kMsgFnpImageTooSmall);
  }
  write_weights(weights, layout, image);
  write_neuron_parameters(threshold, steps, layout, activation, image);
}

std::vector<uint32_t> format_fnp_ram(const Dense& weights, const Dense& threshold, const Dense& steps, int bits,
                                     bool activation) {
  std::vector<uint32_t> image(fnp_ram_words(weights, bits), 0);
  write_fnp_ram(image, weights, threshold, steps, bits, activation);
  return image;
}

}  // namespace ornix::v1
