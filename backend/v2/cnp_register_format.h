#pragma once

// The register groups that every CNP and TNP-B layer shares, written into one NP's register
// block (np_register_block.h) after the block's defaults and before the layer's own fields,
// and the per-channel variable words that travel in their own DMA block.
//
// Every field is written through set_field: a value wider than its field panics "Attempted to
// write value V into a W-bit field, which will cause an overflow." (std::runtime_error), and a
// signed value outside its range panics "V cannot fit in a N bits signed integer."; the block
// may then be partly written and the caller discards it. Bits not named stay as they were.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "backend/v2/np_register_block.h"
#include "hardware/component.h"
#include "ornix/layer_geometry.h"
#include "ornix/layer_types.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"
#include "program/np_split.h"

namespace ornix {
struct MergeLayerMapInfo;  // mapping/layer_mapping.h
}  // namespace ornix

namespace ornix::v2 {

// The fifteen values of an NP's split that the common configuration reads: the window
// (origin, size, phases, offsets, padded size), the pooled output window (start row, start
// column, row count, column count) and the input container width. Built implicitly from
// either split form (the constructors are implicit on purpose); u32 values wrap around as the
// split computed them.
struct CnpSplitFields {
  CnpSplitFields(const NpSplit& split);
  CnpSplitFields(const TransposedCnpSplit& split);

  NpWindowGeometry window;
  std::array<uint32_t, 4> output_window{};
  uint32_t icont_size = 0;
};

// Common configuration, words 1, 3, 4, 8, 9, 10, 11, 20, 24, 25 and 26: flags, data-width codes
// and NP count, the split window, kernel and stride, the pooled output window and the NP's
// filters [first_neuron, first_neuron + neurons). The window offsets must lie in -4 .. 3;
// kernel_size fits 3 bits, first_neuron 11, neurons 10, layer_nps.size() 8.
//
// When with_merge_fields is set, then writes the merge and skip-DMA fields (words 1, 47, 48, 52
// and 53): without `merge` only word 52 bit 7 is set; with it, `skipdma_load` must not be null
// (std::runtime_error "Skip DMA load should not be null.") and, when merge->dual_output is set,
// neither may `skipdma_store_dual` ("Skip DMA store should not be null."); the load's and the
// store's ident ids must be at most 3. All pointers are borrowed for the call.
void format_cnp_tnp_common_config_registers(NpRegisterBlock regs, const CnpSplitFields& split, int kernel_size,
                                            int kernel_stride, ActivationType activation, uint32_t first_neuron,
                                            uint32_t neurons, uint8_t weights_bits,
                                            const std::vector<hw::Component>& layer_nps, bool single_buffer,
                                            bool transposed, uint8_t input_bits, uint8_t output_bits,
                                            const MergeLayerMapInfo* merge, const hw::Component* skipdma_load,
                                            const hw::Component* skipdma_store_dual, bool common_flag,
                                            bool with_merge_fields);

// Pooling, word 27 and word 2 bit 8: pool size and value (3 bits each), the pooling flag, and
// the edge bits of the NP's window `np` (x, y, shape width and height) on the layer `input`
// (width, height) where pool_padding is non-zero; word 2 bit 8 is set when next_max_pool and
// left as it is otherwise.
void format_cnp_pooling_registers(NpRegisterBlock regs, const Shape& input, const NpSpace& np, uint8_t pool_size,
                                  uint8_t pool_value, bool pool_flag, const PaddingParams& pool_padding,
                                  bool next_max_pool);

// The pooling of a layer that does not pool, over a width x height plane: strides 1 and 1, no
// padding, no pooling flag. Returns the pool size such a layer programs: 1.
uint8_t get_no_pooling_params(PoolingCalculatedParams& out, uint32_t width, uint32_t height);

// Two words per channel i in [first, first + count), channel i - first at words 2(i - first)
// and 2(i - first) + 1, layout in cnp_registers.h (VARS_*). Each tensor may be null (the layer
// has no such variable; its bits stay 0) and is read at flat index i. bias, output_shift and
// activation_shift are signed 8-bit, the others unsigned 8-bit (other element types panic
// "Wrong requested type %s for a tensor of type %s."). output_shift and activation_shift must
// lie in -32 .. 31, bias_shift and max_value_shift in 0 .. 31. Where fields share bits the
// later write wins: activation_shift over max_value_shift, then activation_scales and
// max_value over activation_shift's top bit, max_value over activation_scales' low 7 bits.
// A tensor too short for channel first + count - 1: std::invalid_argument.
//
// In place: cnp_tnp_variable_words gives the number of words (two per channel) and
// write_cnp_tnp_variables writes them into `words`, zero-filled and exactly that long (another
// length: std::invalid_argument before anything is written), with the failures above; a
// failure may leave channels before the refused one written.
size_t cnp_tnp_variable_words(uint32_t count);
void write_cnp_tnp_variables(const Dense* max_value, const Dense* max_value_shift, const Dense* activation_shift,
                             const Dense* activation_scales, const Dense* output_shift, const Dense* bias_shift,
                             const Dense* bias, const Dense* output_scales, uint32_t first, uint32_t count,
                             std::span<uint32_t> words);
std::vector<uint32_t> format_cnp_tnp_variables(const Dense* max_value, const Dense* max_value_shift,
                                               const Dense* activation_shift, const Dense* activation_scales,
                                               const Dense* output_shift, const Dense* bias_shift, const Dense* bias,
                                               const Dense* output_scales, uint32_t first, uint32_t count);

}  // namespace ornix::v2
