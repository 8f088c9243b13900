#pragma once

// Payloads of the per-channel shift and lookup-table blocks of an NP program: input shifts,
// merge-layer shifts, and the lookup tables of a CNP and of the input NP (HRC). The functions
// write no DMA header; the recorders frame the words into blocks. Byte payloads are packed
// little-endian (byte k in bits 8(k mod 4) .. 8(k mod 4) + 7 of word k / 4), the bytes after the
// last value 0.
//
// Tensors of another element type than the one read panic "Wrong requested type %s for a
// tensor of type %s." (unsigned 8-bit reads take uint8, uint4 and uint2; signed 8-bit reads
// int8, int4, int2 and bit; 32-bit reads int32). Signed values outside their range panic
// "V cannot fit in a N bits signed integer.". On any failure nothing is returned.

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/tensor.h"

namespace ornix::v2 {

// Entries of the input-shift memory (24-bit words, eight shifts each) that the shifts fill:
// (element count + 7) / 8.
uint32_t cnp_tnp_input_shift_24b_size(const Dense& input_shift);

// The unsigned 8-bit shifts at flat indices [start, start + n), n = count, or the element count
// of `shift` when count is 0: one byte each, 8 bytes (2 words) per entry of eight, so
// 2 x ceil(n / 8) words; n = 0 gives no word. Indices past the tensor: std::invalid_argument.
std::vector<uint32_t> format_input_shift(const Dense& shift, uint32_t start, uint32_t count);
// All shifts of the tensor: format_input_shift(shift, 0, 0).
std::vector<uint32_t> format_input_shift(const Dense& shift);

// One byte per channel i in [start, start + count), ceil(count / 4) words. With X = a[i],
// Y = b[i] (unsigned 8-bit) and Z = c[i] (signed 8-bit), each read at coordinate (i) through
// dimension 0's stride, S = max(X, Y) + Z must lie in -4 .. 3 and
// byte = (|X - Y| + 128 (X <= Y) + 16 code3(S)) mod 256, so for |X - Y| < 16:
// [7] X <= Y | [6:4] S | [3:0] |X - Y|.
// An offset not below the tensor's element count panics "Coordinates are out-of-range"; a
// null tensor: std::invalid_argument.
std::vector<uint32_t> format_merge_layer_shift(const std::shared_ptr<const Dense>& a,
                                               const std::shared_ptr<const Dense>& b,
                                               const std::shared_ptr<const Dense>& c, uint32_t start, uint32_t count);

// The CNP lookup table, 1024 words: [29:16] code of value 2j + 1 | [13:0] code of value 2j.
// The int32 tensor must hold 2048 or 2049 values (a last odd value is not used), else
// std::runtime_error "Wrong size for LUT."; values must lie in -8192 .. 8191. A null table:
// std::invalid_argument.
std::vector<uint32_t> format_lut_values_for_cnp(const Dense* lut);

// The input NP's lookup table, 2048 words: [13:0] code of value i. The int32 tensor must hold
// exactly 2048 values, else std::runtime_error "Wrong size for LUT."; values must lie in
// -8192 .. 8191. A null table: std::invalid_argument.
std::vector<uint32_t> format_lut_values_for_hrc(const Dense* lut);

}  // namespace ornix::v2
