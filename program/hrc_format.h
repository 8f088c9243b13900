#pragma once

// Packing of engine tensors into the words the input NP (HRC) is loaded with. The functions
// write no DMA header: the recorders frame the words into blocks. Values that do not fit their
// field panic "V cannot fit in a W bits unsigned integer." or "V cannot fit in a W bits signed
// integer."; tensors of another element type than the one read panic "Wrong requested type %s
// for a tensor of type %s.". Signed values are read from int8, int4, int2 or bit tensors,
// unsigned values from uint8, uint4 or uint2 tensors.

#include <array>
#include <cstdint>
#include <vector>

#include "ornix/tensor.h"
#include "program/limits.h"

namespace ornix {

// Words of the three weight SRAMs, vector i for SRAM i (empty when the SRAM gets nothing).
using HrcWeightWords = std::array<std::vector<uint32_t>, program::kHrcWeightSrams>;

// Convolution weights, (kernel, kernel, channels, filters), or (filters, channels, kernel,
// kernel) in Layout::Reversed; signed. Groups of up to nine weights fill three words each:
// three channels go to one SRAM each; one channel of a 3x3 kernel fills SRAM 0, 1 then 2 with
// 192 filters each; a 4x4 kernel puts each filter's first nine weights in SRAM 0 and its last
// seven in SRAM 1; 5x5, 7x7 and 16x16 kernels deal their groups over the three SRAMs in turn.
// std::invalid_argument for a tensor that is not four-dimensional with a square kernel and 1 or 3
// channels, and for a single-channel 3x3 kernel of more than 576 filters; std::runtime_error
// "Wrong kernel_size at HRC recording." for a single channel of another kernel size.
HrcWeightWords format_hrc_weights(const Dense& weights);

// Two words per element of `bias`, read at the same flat index of every tensor:
// word 0 [19] max value bit 0 | [18:14] max shift | [13:6] out scale | [5:0] out shift;
// word 1 [19:12] bias | [11:7] bias shift | [6:0] max value bits 1-7.
// out_shift, bias signed; the others unsigned. Null max_shift / max_value read as 0.
// std::invalid_argument when a tensor holds fewer elements than `bias`.
std::vector<uint32_t> format_hrc_activations(const Dense& out_shift, const Dense& out_scale, const Dense* max_shift,
                                             const Dense* max_value, const Dense& bias_shift, const Dense& bias);

// Two words per element of `bias`, read at the same flat index of every tensor:
// word 0 [19:16] bias shift bits 0-3 | [15:8] bias | [7:0] out scale;
// word 1 [20:13] act scale | [12:7] act shift | [6:1] out shift | [0] bias shift bit 4.
// bias, out_shift, act_shift signed; the others unsigned.
// std::invalid_argument when a tensor holds fewer elements than `bias`.
std::vector<uint32_t> format_hrc_lut_variables(const Dense& out_scale, const Dense& bias, const Dense& bias_shift,
                                               const Dense& out_shift, const Dense& act_shift,
                                               const Dense& act_scale);

// One word per token (i, j) of a two-dimensional `tokens`: [12:8] parameter | [7:0] token.
// tokens signed, params unsigned, read at the token's element offset.
// std::invalid_argument when tokens is not two-dimensional or params holds fewer elements.
std::vector<uint32_t> format_hrc_tokens(const Dense& tokens, const Dense& params);

// One word per four embeddings (i, j..j+3) of a two-dimensional, signed tensor:
// [31:24] (i, j+3) | [23:16] (i, j+2) | [15:8] (i, j+1) | [7:0] (i, j).
// std::invalid_argument when the tensor is not two-dimensional or dimension 1 is not a
// multiple of 4.
std::vector<uint32_t> format_hrc_pos_embeddings(const Dense& embeddings);

// One word per index i below dimension 0 of `first`, read at flat index i of all three:
// [21:16] second (signed) | [15:8] third | [4:0] first.
// std::invalid_argument when second or third holds fewer elements than that.
std::vector<uint32_t> format_hrc_pos_embs_params(const Dense& first, const Dense& second, const Dense& third);

}  // namespace ornix
