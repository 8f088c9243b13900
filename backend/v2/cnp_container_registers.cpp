#include "backend/v2/cnp_container_registers.h"

#include <limits>

#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/conv2d_registers.h"
#include "backend/v2/np_registers.h"
#include "backend/v2/recorder_messages.h"
#include "ornix/panic.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

constexpr uint64_t kBitsPerByte = 8;
constexpr uint64_t kBytesPerWord = 4;
constexpr uint64_t kBitsPerWord = 32;
constexpr uint64_t kFiltersPerGroup = 8;
constexpr uint32_t kDepthwiseFilterGroups = 1;

uint64_t div_ceil(uint64_t value, uint64_t divisor) { return (value + divisor - 1) / divisor; }

// A value computed in 64 bits: one beyond 32 bits panics with its full value.
void put(NpRegisterBlock regs, std::size_t word, const RegDetail& field, uint64_t value) {
  if (value > std::numeric_limits<uint32_t>::max()) {
    panic(kMsgWideFieldOverflowFormat, static_cast<unsigned long long>(value), field.width);
  }
  set_field(&regs[word], field, static_cast<uint32_t>(value));
}

// R: bytes of one padded input row of one channel, rounded up to a whole word.
uint64_t row_bytes(const NpWindowGeometry& window, uint8_t input_bits) {
  return div_ceil(div_ceil(uint64_t{input_bits} * window.padded_width, kBitsPerByte), kBytesPerWord) * kBytesPerWord;
}

// Word 4: (R x NC / 4, low 27 bits) x PH, the words of the NP's padded input.
void write_input_container(NpRegisterBlock regs, const NpWindowGeometry& window, uint64_t r) {
  const uint64_t row_words = r * window.channels / kBytesPerWord;
  put(regs, kWordInputContainer, REG5_CPKSRAM_SIZE, (row_words & kPlaneWordsMask) * window.padded_height);
}

}  // namespace

void write_conv_containers(NpRegisterBlock regs, const NpWindowGeometry& window, uint8_t input_bits, int kernel_size,
                           uint32_t filters, uint8_t weights_bits) {
  const uint64_t r = row_bytes(window, input_bits);
  write_input_container(regs, window, r);
  put(regs, kWordContainers, REG11_CHCONT_SIZE,
      conv2d_ch_cont_100b_size(static_cast<uint32_t>(kernel_size), filters, weights_bits));
  put(regs, kWordFilterTotal, CNP2_TF_TOTAL, filters);
  put(regs, kWordContainerSizes, CNP8_CPK_CHCONT_SIZE, r);
  put(regs, kWordFilterGroups, REG29_FILTER_GROUPS, div_ceil(filters, kFiltersPerGroup));
  put(regs, kWordContainerSizes, REG28_ROW_WORDS, r * window.channels / kBytesPerWord);
}

void write_depthwise_containers(NpRegisterBlock regs, const NpWindowGeometry& window, uint8_t input_bits,
                                int kernel_size, uint32_t first, uint32_t channels, uint32_t input_channels,
                                uint8_t weights_bits) {
  put(regs, kWordFormats, REG3_BIT2, 1);
  write_input_container(regs, window, row_bytes(window, input_bits));
  if (channels < input_channels) {
    put(regs, kWordFormats, REG4_IB_CH_GRP_EN, 1);
    put(regs, kWordChannelGroup, CNP3_CH_ORIG_CUT, first);
    put(regs, kWordChannelGroup, CNP3_CH_SIZE_CUT, channels);
  }
  put(regs, kWordContainers, REG11_CHCONT_SIZE,
      dwc_ch_cont_100b_size(static_cast<uint32_t>(kernel_size), channels, weights_bits));
  const uint64_t row_words = div_ceil(uint64_t{input_bits} * window.padded_width, kBitsPerWord);
  put(regs, kWordContainerSizes, CNP8_CPK_CHCONT_SIZE, kBytesPerWord * window.padded_height * row_words);
  put(regs, kWordFilterGroups, REG29_FILTER_GROUPS, kDepthwiseFilterGroups);
  put(regs, kWordContainerSizes, REG28_ROW_WORDS, row_words);
}

}  // namespace ornix::v2
