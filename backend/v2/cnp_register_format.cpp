#include "backend/v2/cnp_register_format.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "backend/v2/cnp_registers.h"
#include "backend/v2/mesh_idents.h"
#include "backend/v2/register_format_limits.h"
#include "backend/v2/register_format_messages.h"
#include "mapping/layer_mapping.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }

// A count as a field value; counts beyond u32 saturate so that the field check refuses them.
uint32_t count_value(std::size_t count) {
  return static_cast<uint32_t>(std::min<std::size_t>(count, std::numeric_limits<uint32_t>::max()));
}

// The one-hot code of an ident id; ids beyond 31 give a value no field takes.

void put(NpRegisterBlock regs, std::size_t word, const RegDetail& field, uint32_t value) {
  set_field(&regs[word], field, value);
}

// A window offset (a u32 difference that wraps when negative) as its 3-bit code.
uint32_t offset_code(uint32_t offset) {
  return int32_to_intN<kSplitOffsetBits>(static_cast<int32_t>(offset));
}

void write_control(NpRegisterBlock regs, ActivationType activation, bool single_buffer, bool common_flag) {
  put(regs, kWordControl, REG1_BIT4, 0);
  put(regs, kWordControl, REG1_BIT7, 0);
  put(regs, kWordControl, REG1_COMMON, bit(common_flag));
  put(regs, kWordControl, REG1_LUT_ACTIVATION, bit(activation == ActivationType::LUT));
  put(regs, kWordControl, REG1_SINGLE_BUFFER, bit(single_buffer));
}

void write_formats(NpRegisterBlock regs, ActivationType activation, uint8_t weights_bits, uint8_t input_bits,
                   uint8_t output_bits, std::size_t np_count) {
  const bool relu = activation == ActivationType::ReLU;
  put(regs, kWordFormats, REG3_INPUT_CODE, input_bits < 8 ? 2 : 3);
  put(regs, kWordFormats, REG3_WEIGHTS_4BIT, bit(weights_bits == 4));
  put(regs, kWordFormats, REG3_WEIGHTS_8BIT, bit(weights_bits == 8));
  put(regs, kWordFormats, REG3_WEIGHTS_CODE, weights_bits == 8 ? 3 : 2);
  put(regs, kWordFormats, REG3_OUTPUT_CODE, output_bits < 8 ? 2 : 3);
  put(regs, kWordFormats, REG3_UNRECTIFIED, bit(!relu && output_bits <= 8));
  put(regs, kWordFormats, REG3_RELU, bit(relu));
  put(regs, kWordFormats, REG4_NP_NUM, count_value(np_count));
}

void write_input_container(NpRegisterBlock regs) {
  put(regs, kWordInputContainer, REG4_BIT31, 1);
  put(regs, kWordInputContainer, REG4_BITS29_30, 0);
}

void write_window(NpRegisterBlock regs, const CnpSplitFields& split) {
  const NpWindowGeometry& w = split.window;
  put(regs, kWordWindowSize, REG8_II_SIZE, w.height);
  put(regs, kWordWindowSize, REG8_II_OFFSET, offset_code(w.y_offset));
  put(regs, kWordWindowSize, REG8_JJ_SIZE, w.width);
  put(regs, kWordWindowSize, REG8_JJ_OFFSET, offset_code(w.x_offset));

  put(regs, kWordWindowOrigin, REG9_I_ORIG_CUT, w.padded_y);
  put(regs, kWordWindowOrigin, REG9_I_CONV_STRD_OFFSET, bit(w.y_phase >= 1));
  put(regs, kWordWindowOrigin, REG9_J_ORIG_CUT, w.padded_x);
  put(regs, kWordWindowOrigin, REG9_J_CONV_STRD_OFFSET, bit(w.x_phase > 0));

  put(regs, kWordPaddedSize, REG10_I_PADDED_SIZE, w.padded_height);
  put(regs, kWordPaddedSize, REG10_J_PADDED_SIZE, w.padded_width);

  put(regs, kWordContainers, REG11_ICONT_SIZE, split.icont_size);
}

void write_kernel(NpRegisterBlock regs, int kernel_size, int kernel_stride, bool transposed) {
  put(regs, kWordKernel, REG20_STRIDE2, bit(kernel_stride == 2));
  put(regs, kWordKernel, REG20_TRANSPOSED, bit(transposed));
  put(regs, kWordKernel, REG20_BIT10, 0);
  put(regs, kWordKernel, REG20_BITS16_26, 0);
  put(regs, kWordKernel, REG20_KERNEL_SIZE, static_cast<uint32_t>(kernel_size));
}

void write_output_window(NpRegisterBlock regs, const CnpSplitFields& split) {
  const auto& [row, col, rows, cols] = split.output_window;
  put(regs, kWordOutputOrigin, REG24_OUT_I_ORIG, row);
  put(regs, kWordOutputOrigin, REG24_OUT_J_ORIG, col);
  put(regs, kWordOutputSize, REG25_OUT_I_SIZE, rows);
  put(regs, kWordOutputSize, REG25_OUT_J_SIZE, cols);
}

void write_neurons(NpRegisterBlock regs, uint32_t first_neuron, uint32_t neurons) {
  put(regs, kWordNeurons, REG26_FIRST_NEURON, first_neuron);
  put(regs, kWordNeurons, REG26_NEURONS, neurons);
}

void write_skipdma_load(NpRegisterBlock regs, const hw::Component& load) {
  put(regs, kWordSkipDmaLoad, REG53_LOAD_ENABLE, 1);
  put(regs, kWordSkipDmaLoad, REG53_BITS1_7, 0);
  put(regs, kWordSkipDmaLoad, REG53_LOAD_COL, load.ident.col);
  put(regs, kWordSkipDmaLoad, REG53_BIT19, 0);
  put(regs, kWordSkipDmaLoad, REG53_LOAD_ID, one_hot_id(load.ident.id));
  put(regs, kWordSkipDmaLoad, REG53_BIT31, 1);
}

void write_dual_store(NpRegisterBlock regs, const std::vector<hw::Component>& layer_nps, const hw::Component& store,
                      uint8_t stream_id) {
  put(regs, kWordControl, REG1_DUAL_OUTPUT, 1);
  std::vector<hw::Component> reach = layer_nps;
  reach.push_back(store);
  const auto [low, high] = mesh_column_range(reach);
  put(regs, kWordColumnRange, REG47_DUAL_COL_MIN, low);
  put(regs, kWordColumnRange, REG47_DUAL_COL_MAX, high);

  put(regs, kWordDualStore, REG48_DUAL_ROW, store.ident.row);
  put(regs, kWordDualStore, REG48_DUAL_COL, store.ident.col);
  put(regs, kWordDualStore, REG48_DUAL_ENABLE, 1);
  put(regs, kWordDualStore, REG48_DUAL_ID, one_hot_id(store.ident.id));
  put(regs, kWordDualStore, REG48_DUAL_STREAM, stream_id);
}

void format_merge_skipdma_registers(NpRegisterBlock regs, const std::vector<hw::Component>& layer_nps,
                                    const MergeLayerMapInfo* merge, const hw::Component* skipdma_load,
                                    const hw::Component* skipdma_store_dual) {
  if (merge == nullptr) {
    put(regs, kWordMerge, REG52_NOT_FIRST, 1);
    return;
  }
  put(regs, kWordMerge, REG52_NOT_FIRST, bit(merge->not_first_in_pass));
  if (skipdma_load == nullptr) throw std::runtime_error(kMsgSkipDmaLoadNull);
  put(regs, kWordMerge, REG52_BITS0_1, 3);
  put(regs, kWordMerge, REG52_MERGE_ENABLE, bit(merge->is_add));
  put(regs, kWordMerge, REG52_BIT3, 0);
  put(regs, kWordMerge, REG52_BIT4, 1);
  put(regs, kWordMerge, REG52_LOAD_CONSUMER, merge->channel_id);
  write_skipdma_load(regs, *skipdma_load);

  if (!merge->dual_output) return;
  if (skipdma_store_dual == nullptr) throw std::runtime_error(kMsgSkipDmaStoreNull);
  write_dual_store(regs, layer_nps, *skipdma_store_dual, merge->dual_output_channel_id);
}

// A per-channel value at flat index i, refused past the end of the tensor.
template <typename T>
T channel_value(const Dense& tensor, uint64_t i) {
  const T* values = tensor.data<T>();
  if (i >= tensor.size()) throw std::invalid_argument(variable_out_of_range_message(tensor.size(), i));
  return values[i];
}

uint32_t unsigned_value(const Dense& tensor, uint64_t i) { return channel_value<uint8_t>(tensor, i); }
int32_t signed_value(const Dense& tensor, uint64_t i) { return channel_value<int8_t>(tensor, i); }

}  // namespace

CnpSplitFields::CnpSplitFields(const NpSplit& split)
    : window(split),
      output_window{split.out_row_origin, split.out_col_origin, split.out_rows, split.out_cols},
      icont_size(split.icont_size()) {}

CnpSplitFields::CnpSplitFields(const TransposedCnpSplit& split)
    : window(split),
      output_window{split.out_y, split.out_x, split.out_height, split.out_width},
      icont_size(split.icont_size()) {}

void format_cnp_tnp_common_config_registers(NpRegisterBlock regs, const CnpSplitFields& split, int kernel_size,
                                            int kernel_stride, ActivationType activation, uint32_t first_neuron,
                                            uint32_t neurons, uint8_t weights_bits,
                                            const std::vector<hw::Component>& layer_nps, bool single_buffer,
                                            bool transposed, uint8_t input_bits, uint8_t output_bits,
                                            const MergeLayerMapInfo* merge, const hw::Component* skipdma_load,
                                            const hw::Component* skipdma_store_dual, bool common_flag,
                                            bool with_merge_fields) {
  write_control(regs, activation, single_buffer, common_flag);
  write_formats(regs, activation, weights_bits, input_bits, output_bits, layer_nps.size());
  write_input_container(regs);
  write_window(regs, split);
  write_kernel(regs, kernel_size, kernel_stride, transposed);
  write_output_window(regs, split);
  write_neurons(regs, first_neuron, neurons);
  if (with_merge_fields) format_merge_skipdma_registers(regs, layer_nps, merge, skipdma_load, skipdma_store_dual);
}

void format_cnp_pooling_registers(NpRegisterBlock regs, const Shape& input, const NpSpace& np, uint8_t pool_size,
                                  uint8_t pool_value, bool pool_flag, const PaddingParams& pool_padding,
                                  bool next_max_pool) {
  put(regs, kWordPooling, REG27_POOL_SIZE, pool_size);
  put(regs, kWordPooling, REG27_POOL_VALUE, pool_value);
  put(regs, kWordPooling, REG27_POOL_FLAG, bit(pool_flag));

  // Compared in 64 bits: a window end that wraps in u32 must not meet the input's edge.
  const bool ends_last_column = uint64_t{np.x} + np.shape[0] == input[0];
  const bool ends_last_row = uint64_t{np.y} + np.shape[1] == input[1];
  put(regs, kWordPooling, REG27_BIT9, 0);
  put(regs, kWordPooling, REG27_EDGE_RIGHT, bit(ends_last_column && pool_padding.right != 0));
  put(regs, kWordPooling, REG27_EDGE_LEFT, bit(np.x == 0 && pool_padding.left != 0));
  put(regs, kWordPooling, REG27_EDGE_BOTTOM, bit(ends_last_row && pool_padding.bottom != 0));
  put(regs, kWordPooling, REG27_EDGE_TOP, bit(np.y == 0 && pool_padding.top != 0));

  if (next_max_pool) put(regs, kWordInputControl, REG2_NEXT_MAX_POOL, 1);
}

uint8_t get_no_pooling_params(PoolingCalculatedParams& out, uint32_t width, uint32_t height) {
  out = PoolingCalculatedParams{};
  out.stride_x = 1;
  out.stride_y = 1;
  out.width = width;
  out.height = height;
  return 1;
}

size_t cnp_tnp_variable_words(uint32_t count) { return size_t{count} * kVariableWordsPerChannel; }

void write_cnp_tnp_variables(const Dense* max_value, const Dense* max_value_shift, const Dense* activation_shift,
                             const Dense* activation_scales, const Dense* output_shift, const Dense* bias_shift,
                             const Dense* bias, const Dense* output_scales, uint32_t first, uint32_t count,
                             std::span<uint32_t> words) {
  // Per channel: w0 [31:27] max shift / act shift bits 0-4 | [26:21] out shift | [20:16] bias shift |
  // [15:8] bias | [7:0] out scale; w1 [8:1] act scale / [7:0] max value | [0] act shift bit 5.
  const size_t needed = cnp_tnp_variable_words(count);
  if (words.size() != needed) throw std::invalid_argument(variable_words_message(count, needed, words.size()));
  for (uint32_t k = 0; k < count; ++k) {
    const uint64_t i = uint64_t{first} + k;
    uint32_t* w0 = &words[std::size_t{k} * kVariableWordsPerChannel];
    uint32_t* w1 = w0 + 1;
    if (output_scales) set_field(w0, VARS_W1_OUT_SCALE, unsigned_value(*output_scales, i));
    if (bias) set_field(w0, VARS_W1_BIAS, static_cast<uint8_t>(signed_value(*bias, i)));
    if (bias_shift) set_field(w0, VARS_W1_BIAS_SHIFT, unsigned_value(*bias_shift, i));
    if (output_shift) {
      set_field(w0, VARS_W1_OUT_SHIFT, int32_to_intN<kOutputShiftBits>(signed_value(*output_shift, i)));
    }
    if (max_value_shift) set_field(w0, VARS_W1_MAX_SHIFT, unsigned_value(*max_value_shift, i));
    if (activation_shift) {
      const uint32_t code = int32_to_intN<kActivationShiftBits>(signed_value(*activation_shift, i));
      set_field(w0, VARS_W1_ACT_SHIFT_LO, code & ((uint32_t{1} << VARS_W1_ACT_SHIFT_LO.width) - 1));
      set_field(w1, VARS_W2_ACT_SHIFT_HI, code >> VARS_W1_ACT_SHIFT_LO.width);
    }
    if (activation_scales) set_field(w1, VARS_W2_ACT_SCALE, unsigned_value(*activation_scales, i));
    if (max_value) set_field(w1, VARS_W2_MAX_VALUE, unsigned_value(*max_value, i));
  }
}

std::vector<uint32_t> format_cnp_tnp_variables(const Dense* max_value, const Dense* max_value_shift,
                                               const Dense* activation_shift, const Dense* activation_scales,
                                               const Dense* output_shift, const Dense* bias_shift, const Dense* bias,
                                               const Dense* output_scales, uint32_t first, uint32_t count) {
  std::vector<uint32_t> words(cnp_tnp_variable_words(count), 0);
  write_cnp_tnp_variables(max_value, max_value_shift, activation_shift, activation_scales, output_shift, bias_shift,
                          bias, output_scales, first, count, words);
  return words;
}

}  // namespace ornix::v2
