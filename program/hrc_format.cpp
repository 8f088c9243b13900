#include "program/hrc_format.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

#include "ornix/panic.h"
#include "program/hrc_words.h"
#include "program/messages.h"
#include "program/register_field.h"

namespace ornix {

using namespace program;

namespace {

// ---- Weights

constexpr uint32_t kBitsPerWord = 32;

// A walk moves to the next group: x is the group's first word, s its SRAM.
using WalkStep = void (*)(uint32_t& x, uint32_t& s);

void hrc_step_plus3(uint32_t& x, uint32_t& /*s*/) { x += kHrcGroupWords; }

void hrc_step_row576(uint32_t& x, uint32_t& s) {
  x = (x + kHrcGroupWords) % kHrcRowWords;
  if (x == 0) ++s;
}

void hrc_step_toggle2(uint32_t& x, uint32_t& s) {
  s = (s + 1) % 2;
  if (s == 0) x += kHrcGroupWords;
}

void hrc_step_cycle3(uint32_t& x, uint32_t& s) {
  s = (s + 1) % kHrcWeightSrams;
  if (s == 0) x += kHrcGroupWords;
}

struct WeightShape {
  uint32_t kernel = 0;
  uint32_t channels = 0;
  uint32_t filters = 0;
  bool reversed = false;  // (filters, channels, kernel, kernel), the row being dimension 3
};

// Where one weight goes.
struct WeightSlot {
  uint32_t sram;
  uint32_t group;  // first word of its group
  uint32_t word;   // word it is written in
  uint32_t shift;  // bits
};

WeightShape weight_shape(const Dense& weights) {
  const Shape& shape = weights.shape();
  if (shape.size() != 4) throw std::invalid_argument(kMsgHrcWeightsShape);
  WeightShape ws;
  ws.reversed = weights.layout() == Layout::Reversed;
  ws.kernel = ws.reversed ? shape[2] : shape[1];
  ws.channels = ws.reversed ? shape[1] : shape[2];
  ws.filters = ws.reversed ? shape[0] : shape[3];
  const uint32_t other_kernel = ws.reversed ? shape[3] : shape[0];
  if (other_kernel != ws.kernel || (ws.channels != 1 && ws.channels != kHrcWeightSrams)) {
    throw std::invalid_argument(kMsgHrcWeightsShape);
  }
  return ws;
}

WalkStep choose_walk(const WeightShape& ws) {
  if (ws.channels == kHrcWeightSrams) return hrc_step_plus3;
  switch (ws.kernel) {
    case 3:
      // Each filter is one group; more than three SRAMs of them would not fit.
      if (ws.filters > kHrcMaxFilters3x3) throw std::invalid_argument(hrc_too_many_filters_message(kHrcMaxFilters3x3));
      return hrc_step_row576;
    case 4:
      return hrc_step_toggle2;
    case 5:
    case 7:
    case 16:
      return hrc_step_cycle3;
    default:
      throw std::runtime_error(kMsgWrongHrcKernelSize);
  }
}

// Visits every weight in packing order: per channel, per filter, kernel rows then columns. A
// group closes after nine weights (seven in SRAM 1 of the toggling walk), and after each filter
// but the channel's last, so no group spans two filters. Each channel starts in SRAM c, word 0.
template <typename Visit>
void walk_weights(const WeightShape& ws, WalkStep step, Visit&& visit) {
  const uint32_t group_bits = kHrcGroupWeights * kHrcWeightBits;
  const uint32_t toggle_group_bits = kHrcToggleGroupWeights * kHrcWeightBits;
  const bool toggles = step == hrc_step_toggle2;
  for (uint32_t c = 0; c < ws.channels; ++c) {
    uint32_t s = c;
    uint32_t x = 0;
    for (uint32_t f = 0; f < ws.filters; ++f) {
      uint32_t b = 0;
      for (uint32_t row = 0; row < ws.kernel; ++row) {
        for (uint32_t col = 0; col < ws.kernel; ++col) {
          if (b == group_bits || (toggles && s == 1 && b == toggle_group_bits)) {
            step(x, s);
            b = 0;
          }
          visit(WeightSlot{s, x, x + b / kBitsPerWord, b % kBitsPerWord}, row, col, c, f);
          b += kHrcWeightBits;
        }
      }
      if (f + 1 < ws.filters && b != 0) step(x, s);
    }
  }
}

// ---- Parameters

// `value`, panicking with the unsigned-range text when it needs more than `bits` bits.
uint32_t checked_unsigned(uint32_t value, uint32_t bits) {
  if (value >> bits != 0) panic(kMsgUnsignedRangeFormat, static_cast<int>(value), static_cast<int>(bits));
  return value;
}

uint32_t low_bits(uint32_t value, uint32_t bits) { return value & ((uint32_t{1} << bits) - 1); }

// Every tensor read by flat index must hold the `read` elements.
void require_elements(std::initializer_list<const Dense*> tensors, size_t read) {
  for (const Dense* tensor : tensors) {
    if (tensor != nullptr && tensor->size() < read) {
      throw std::invalid_argument(hrc_too_few_elements_message(tensor->size(), read));
    }
  }
}

void require_two_dimensions(const Dense& tensor) {
  if (tensor.shape().size() != 2) throw std::invalid_argument(kMsgHrcNotTwoDimensional);
}

// Element offset of (i, j) in a two-dimensional tensor.
size_t offset_2d(const Dense& tensor, uint32_t i, uint32_t j) {
  return size_t{i} * tensor.strides()[0] + size_t{j} * tensor.strides()[1];
}

}  // namespace

HrcWeightWords format_hrc_weights(const Dense& weights) {
  const WeightShape ws = weight_shape(weights);
  const WalkStep step = choose_walk(ws);

  // Size each SRAM by a dry walk: it ends with the last group sent there (the groups of one
  // SRAM are contiguous, three words each).
  HrcWeightWords words;
  walk_weights(ws, step, [&](const WeightSlot& slot, uint32_t, uint32_t, uint32_t, uint32_t) {
    std::vector<uint32_t>& sram = words[slot.sram];
    sram.resize(std::max<size_t>(sram.size(), slot.group + kHrcGroupWords), 0);
  });

  // [71:64] weight 8 | ... | [15:8] weight 1 | [7:0] weight 0, over the group's three words.
  walk_weights(ws, step, [&](const WeightSlot& slot, uint32_t row, uint32_t col, uint32_t c, uint32_t f) {
    const int8_t weight = ws.reversed ? weights.at<int8_t>({f, c, col, row}) : weights.at<int8_t>({row, col, c, f});
    set_field(&words[slot.sram][slot.word], RegDetail{slot.shift, kHrcWeightBits},
              int32_to_intN<kHrcWeightBits>(weight));
  });
  return words;
}

std::vector<uint32_t> format_hrc_activations(const Dense& out_shift, const Dense& out_scale, const Dense* max_shift,
                                             const Dense* max_value, const Dense& bias_shift, const Dense& bias) {
  const size_t count = bias.size();
  require_elements({&out_shift, &out_scale, max_shift, max_value, &bias_shift}, count);
  const int8_t* out_shifts = out_shift.data<int8_t>();
  const uint8_t* out_scales = out_scale.data<uint8_t>();
  const uint8_t* max_shifts = max_shift != nullptr ? max_shift->data<uint8_t>() : nullptr;
  const uint8_t* max_values = max_value != nullptr ? max_value->data<uint8_t>() : nullptr;
  const uint8_t* bias_shifts = bias_shift.data<uint8_t>();
  const int8_t* biases = bias.data<int8_t>();

  std::vector<uint32_t> words;
  words.reserve(2 * count);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t o = int32_to_intN<HRC_ACT0_OUT_SHIFT.width>(out_shifts[i]);
    const uint32_t m = max_shifts != nullptr ? checked_unsigned(max_shifts[i], HRC_ACT0_MAX_SHIFT.width) : 0;
    const uint32_t h = checked_unsigned(bias_shifts[i], HRC_ACT1_BIAS_SHIFT.width);
    const uint32_t v = max_values != nullptr ? max_values[i] : 0;

    uint32_t word0 = 0;
    set_field(&word0, HRC_ACT0_OUT_SHIFT, o);
    set_field(&word0, HRC_ACT0_OUT_SCALE, out_scales[i]);
    set_field(&word0, HRC_ACT0_MAX_SHIFT, m);
    set_field(&word0, HRC_ACT0_MAX_VALUE_LO, low_bits(v, HRC_ACT0_MAX_VALUE_LO.width));
    uint32_t word1 = 0;
    set_field(&word1, HRC_ACT1_MAX_VALUE_HI, v >> HRC_ACT0_MAX_VALUE_LO.width);
    set_field(&word1, HRC_ACT1_BIAS_SHIFT, h);
    set_field(&word1, HRC_ACT1_BIAS, int32_to_intN<HRC_ACT1_BIAS.width>(biases[i]));
    words.push_back(word0);
    words.push_back(word1);
  }
  return words;
}

std::vector<uint32_t> format_hrc_lut_variables(const Dense& out_scale, const Dense& bias, const Dense& bias_shift,
                                               const Dense& out_shift, const Dense& act_shift,
                                               const Dense& act_scale) {
  const size_t count = bias.size();
  require_elements({&out_scale, &bias_shift, &out_shift, &act_shift, &act_scale}, count);
  const uint8_t* out_scales = out_scale.data<uint8_t>();
  const int8_t* biases = bias.data<int8_t>();
  const uint8_t* bias_shifts = bias_shift.data<uint8_t>();
  const int8_t* out_shifts = out_shift.data<int8_t>();
  const int8_t* act_shifts = act_shift.data<int8_t>();
  const uint8_t* act_scales = act_scale.data<uint8_t>();

  std::vector<uint32_t> words;
  words.reserve(2 * count);
  for (size_t i = 0; i < count; ++i) {
    // The bias shift spans two words: what lies above its low bits must fit the high field.
    const uint32_t h = bias_shifts[i];
    checked_unsigned(h >> HRC_LUT0_BIAS_SHIFT_LO.width, HRC_LUT1_BIAS_SHIFT_HI.width);
    const uint32_t o = int32_to_intN<HRC_LUT1_OUT_SHIFT.width>(out_shifts[i]);
    const uint32_t t = int32_to_intN<HRC_LUT1_ACT_SHIFT.width>(act_shifts[i]);

    uint32_t word0 = 0;
    set_field(&word0, HRC_LUT0_OUT_SCALE, out_scales[i]);
    set_field(&word0, HRC_LUT0_BIAS, int32_to_intN<HRC_LUT0_BIAS.width>(biases[i]));
    set_field(&word0, HRC_LUT0_BIAS_SHIFT_LO, low_bits(h, HRC_LUT0_BIAS_SHIFT_LO.width));
    uint32_t word1 = 0;
    set_field(&word1, HRC_LUT1_BIAS_SHIFT_HI, h >> HRC_LUT0_BIAS_SHIFT_LO.width);
    set_field(&word1, HRC_LUT1_OUT_SHIFT, o);
    set_field(&word1, HRC_LUT1_ACT_SHIFT, t);
    set_field(&word1, HRC_LUT1_ACT_SCALE, act_scales[i]);
    words.push_back(word0);
    words.push_back(word1);
  }
  return words;
}

std::vector<uint32_t> format_hrc_tokens(const Dense& tokens, const Dense& params) {
  require_two_dimensions(tokens);
  require_elements({&params}, tokens.size());
  const int8_t* token_values = tokens.data<int8_t>();
  const uint8_t* param_values = params.data<uint8_t>();
  const uint32_t rows = tokens.shape()[0];
  const uint32_t cols = tokens.shape()[1];

  std::vector<uint32_t> words;
  words.reserve(size_t{rows} * cols);
  for (uint32_t i = 0; i < rows; ++i) {
    for (uint32_t j = 0; j < cols; ++j) {
      const size_t offset = offset_2d(tokens, i, j);
      const uint32_t p = checked_unsigned(param_values[offset], HRC_TOKEN_PARAM.width);
      uint32_t word = 0;
      set_field(&word, HRC_TOKEN, int32_to_intN<HRC_TOKEN.width>(token_values[offset]));
      set_field(&word, HRC_TOKEN_PARAM, p);
      words.push_back(word);
    }
  }
  return words;
}

std::vector<uint32_t> format_hrc_pos_embeddings(const Dense& embeddings) {
  require_two_dimensions(embeddings);
  const uint32_t rows = embeddings.shape()[0];
  const uint32_t cols = embeddings.shape()[1];
  if (cols % kHrcEmbeddingsPerWord != 0) throw std::invalid_argument(kMsgHrcEmbeddingsWidth);
  const int8_t* values = embeddings.data<int8_t>();

  std::vector<uint32_t> words;
  words.reserve(size_t{rows} * (cols / kHrcEmbeddingsPerWord));
  for (uint32_t i = 0; i < rows; ++i) {
    for (uint32_t j = 0; j < cols; j += kHrcEmbeddingsPerWord) {
      // [31:24] (i, j+3) | [23:16] (i, j+2) | [15:8] (i, j+1) | [7:0] (i, j)
      uint32_t word = 0;
      for (uint32_t k = 0; k < kHrcEmbeddingsPerWord; ++k) {
        const int8_t value = values[offset_2d(embeddings, i, j + k)];
        set_field(&word, RegDetail{k * kHrcWeightBits, kHrcWeightBits}, int32_to_intN<kHrcWeightBits>(value));
      }
      words.push_back(word);
    }
  }
  return words;
}

std::vector<uint32_t> format_hrc_pos_embs_params(const Dense& first, const Dense& second, const Dense& third) {
  const uint32_t count = first.shape()[0];
  require_elements({&second, &third}, count);
  const uint8_t* firsts = first.data<uint8_t>();
  const int8_t* seconds = second.data<int8_t>();
  const uint8_t* thirds = third.data<uint8_t>();

  std::vector<uint32_t> words;
  words.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t u = checked_unsigned(firsts[i], HRC_POS_PARAM_FIRST.width);
    const uint32_t s = int32_to_intN<HRC_POS_PARAM_SECOND.width>(seconds[i]);
    uint32_t word = 0;
    set_field(&word, HRC_POS_PARAM_FIRST, u);
    set_field(&word, HRC_POS_PARAM_THIRD, thirds[i]);
    set_field(&word, HRC_POS_PARAM_SECOND, s);
    words.push_back(word);
  }
  return words;
}

}  // namespace ornix
