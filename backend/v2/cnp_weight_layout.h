#pragma once

// Geometry of CNP weight memory and the per-kernel layouts of 8-bit weights.

#include <cstdint>

namespace ornix::v2 {

// A CNP weight word has 100 bits. The host sends it either as three transfer words (twelve
// bytes, 8-bit weights only) or as four: two 50-bit halves, each as one word of half bits
// 0-31 and one word of half bits 32-49 in its bits 0-17.
inline constexpr uint32_t kCnpHalfBits = 50;
inline constexpr uint32_t kTransferWordBits = 32;
inline constexpr uint32_t kThreeWordForm = 3;  // transfer words per 100-bit word
inline constexpr uint32_t kFourWordForm = 4;   // transfer words per 100-bit word
inline constexpr uint32_t kWordsPerHalf = 2;   // four-word form
inline constexpr uint32_t kBytesPerFourWordGroup = kFourWordForm * 4;  // one 100-bit word

inline constexpr uint32_t kByteBits = 8;
inline constexpr uint32_t kNibbleBits = 4;

// 4-bit layouts use 48 bits of each half for kernels 1 and 3, all 50 for kernels 5 and 7.
inline constexpr uint32_t kShortHalfBits = 48;
// Conv2D 4-bit kernel 7 opens a new 100-bit word after this many filters of a row.
inline constexpr uint32_t kConv7x7FiltersPerWord4bit = 3;
// Conv2D filters share a block (8 filters, or 24 for kernel 1); 100-bit sizes count whole blocks.
inline constexpr uint32_t kFilterBlock = 8;
inline constexpr uint32_t kFilterBlock1x1 = 24;
// The largest kernel a CNP layout takes, and the most weights one channel's filter block holds
// (kernel 7, 8 filters).
inline constexpr uint32_t kMaxCnpKernel = 7;
inline constexpr uint32_t kMaxBlockWeights = kMaxCnpKernel * kFilterBlock * kMaxCnpKernel;
// Depthwise packers gather this many channels at a time.
inline constexpr uint32_t kChannelTile = 64;

// One kernel size of Conv2D 8-bit weights. Filters are packed side by side in blocks; inside a
// block, kernel rows start `row_stride` bytes apart and each filter writes its row's K weights
// at consecutive bytes. All values unsigned.
struct Conv2dWeightLayout {
  uint32_t group;              // bytes written between two gaps; 0 = no gaps
  uint32_t skip;               // bytes left empty at each gap
  uint32_t filters_per_block;
  uint32_t words_per_block;    // transfer words
  uint32_t row_stride;         // bytes between the starts of two kernel rows of a block
  uint32_t words_per_cnp_word; // kThreeWordForm or kFourWordForm
  uint32_t dma_target;         // dma::Target number
};

// One kernel size of DepthwiseConv2D 8-bit weights (three-word form): each kernel row writes
// `run` weights, leaves `skip` bytes empty, writes the rest of the row, then leaves
// `row_padding` bytes empty; channels start `channel_stride` bytes apart.
struct DepthwiseWeightLayout {
  uint32_t run;                // weights of a row before the gap
  uint32_t skip;               // bytes
  uint32_t row_padding;        // bytes
  uint32_t channel_stride;     // bytes
  uint32_t words_per_cnp_word; // kThreeWordForm
  uint32_t dma_target;         // dma::Target number
};

namespace cnp_weight_format {

// The layout of kernel size `kernel` (1, 3, 4, 5, 7 for Conv2D; 3, 4, 5, 7 for depthwise).
// Any other kernel: std::runtime_error "cnp_weight_format: Unexpected kernel size.".
const Conv2dWeightLayout& conv2d(uint32_t kernel);
const DepthwiseWeightLayout& depthwise(uint32_t kernel);

}  // namespace cnp_weight_format
}  // namespace ornix::v2
