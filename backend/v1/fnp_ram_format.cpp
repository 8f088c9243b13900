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

// The weight planes of one chunk of 32 inputs for every neuron: [neuron][group][plane].
void gather_chunk(const Dense& weights, const ImageLayout& layout, uint32_t chunk, std::vector<uint32_t>* planes) {
  const int8_t* data = weights.data<int8_t>();
  const uint32_t neuron_stride = weights.strides()[0];
  const uint32_t input_stride = weights.strides()[1];
  const uint32_t per_neuron = 2 * layout.planes;
  std::fill(planes->begin(), planes->end(), 0);
  const uint32_t first = chunk * kFnpChunkInputs;
  const uint32_t last = std::min(first + kFnpChunkInputs, layout.inputs);
  for (uint32_t i = first; i < last; ++i) {
    const uint32_t bit = uint32_t{1} << (i % kFnpChunkInputs);
    const int8_t* column = data + static_cast<size_t>(i) * input_stride;
    // Neurons innermost: contiguous in the engine's reversed layout.
    for (uint32_t n = 0; n < layout.neurons; ++n) {
      const int32_t w = column[static_cast<size_t>(n) * neuron_stride];
      if (w < 0 && !layout.negatives) throw FnpError(fnp_negative_1bit_weight_message(n, i, w));
      const uint32_t magnitude = static_cast<uint32_t>(w < 0 ? -w : w);
      uint32_t* group = planes->data() + static_cast<size_t>(n) * per_neuron + (w < 0 ? layout.planes : 0);
      for (uint32_t m = 0; m < layout.planes; ++m) {
        if ((magnitude >> m) & 1) group[m] |= bit;
      }
    }
  }
}

void write_weights(const Dense& weights, const ImageLayout& layout, std::vector<uint32_t>* image) {
  std::vector<uint32_t> planes(static_cast<size_t>(layout.neurons) * 2 * layout.planes);
  for (uint32_t chunk = 0; chunk < layout.chunks; ++chunk) {
    gather_chunk(weights, layout, chunk, &planes);
    for (uint32_t n = 0; n < layout.neurons; ++n) {
      const size_t positive = static_cast<size_t>(n) * layout.block_words + kFnpNeuronHeaderWords +
                              static_cast<size_t>(chunk) * layout.planes;
      const uint32_t* from = planes.data() + static_cast<size_t>(n) * 2 * layout.planes;
      for (uint32_t m = 0; m < layout.planes; ++m) {
        image->at(positive + m) = from[m];
        if (layout.negatives) image->at(positive + layout.group_words() + m) = from[layout.planes + m];
      }
    }
  }
}

// [19:0] threshold of word 0 and step of word 1 of every block.
void write_neuron_parameters(const Dense& threshold, const Dense& steps, const ImageLayout& layout, bool activation,
                             std::vector<uint32_t>* image) {
  if (!activation) {
    for (uint32_t n = 0; n < layout.neurons; ++n) {
      image->at(static_cast<size_t>(n) * layout.block_words + kFnpBlockThresholdWord) = kFnpNoActivationThreshold;
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
    image->at(base + kFnpBlockThresholdWord) =
        int32_to_intN<kFnpThresholdBits>(thresholds[static_cast<size_t>(n) * threshold.strides()[0]]);
    const auto step = static_cast<uint32_t>(step_values[static_cast<size_t>(n) * steps.strides()[0]]);
    if (step > kFnpMaxStep) throw FnpError(fnp_act_step_message(static_cast<int32_t>(step) / int32_t{kFnpStepScale}));
    image->at(base + kFnpBlockStepWord) = step;
  }
}

}  // namespace

std::vector<uint32_t> format_fnp_ram(const Dense& weights, const Dense& threshold, const Dense& steps, int bits,
                                     bool activation) {
  const Shape& shape = weights.shape();
  if (shape.size() != 2) throw std::invalid_argument(kMsgFnpWeightsRank);
  if (bits < 1) throw std::invalid_argument(kMsgFnpWeightsBits);
  ImageLayout layout;
  layout.neurons = shape[0];
  layout.inputs = shape[1];
  layout.chunks = (layout.inputs + kFnpChunkInputs - 1) / kFnpChunkInputs;
  layout.planes = bits == 1 ? 1 : static_cast<uint32_t>(bits - 1);
  layout.negatives = bits > 1;
  layout.block_words = kFnpNeuronHeaderWords + layout.chunks * fnp_weight_planes(bits);

  std::vector<uint32_t> image(fnp_sram_size(shape, bits), 0);
  write_weights(weights, layout, &image);
  write_neuron_parameters(threshold, steps, layout, activation, &image);
  return image;
}

}  // namespace ornix::v1
