#pragma once

// Geometry of the CNP weight memory and of the 50-bit words the weight packers fill.

#include <array>
#include <cstdint>

namespace ornix::v1 {

// One 50-bit weight word travels as a 64-bit slot: two u32 words, low word first.
inline constexpr uint32_t kSlotWords = 2;
inline constexpr uint32_t kWeightWordBits = 50;  // usable bits of a slot
inline constexpr uint32_t kSlotPayloadBits48 = 48;  // the layouts that keep to 48 bits of a slot

// Kernels of 1- and 2-bit weights per slot, by kernel width 1 to 7 (index 0 unused). A width
// without kernels (2, 4, 6) gives empty streams; width 1 always uses the 2-bit layout.
inline constexpr uint32_t kMaxKernelWidth = 7;
inline constexpr std::array<uint32_t, kMaxKernelWidth + 1> kKernelsPerSlot = {0, 48, 0, 5, 0, 2, 0, 1};

// Filters are counted, and 4-bit kernels packed, in groups of eight.
inline constexpr uint32_t kFilterGroup = 8;
// Slots of one group of eight 4-bit filters, by kernel width 3, 5 and 7.
inline constexpr uint32_t kGroupSlots4bitK3 = 6;
inline constexpr uint32_t kGroupSlots4bitK5 = 16;
inline constexpr uint32_t kGroupSlots4bitK7 = 42;
// Bits of a 4-bit standard weight code (twelve to the 48 bits of a 1x1 slot).
inline constexpr uint32_t kCode4Bits = 4;

// Blocks and sizes are rounded up to a multiple of this many u32 words.
inline constexpr uint32_t kBlockRoundWords = 16;
// Weight words of a standard layer divided by its channels, then by 4, stay below this.
inline constexpr uint32_t kStdWordsPerChannelLimit = 1024;
inline constexpr uint32_t kStdWordsPerChannelDivisor = 4;

// Bit widths of the weight formats.
inline constexpr int kWeights1Bit = 1;
inline constexpr int kWeights2Bit = 2;
inline constexpr int kWeights4Bit = 4;
// Size of a weight width no format serves.
inline constexpr uint32_t kUnsupportedSize = 0xFFFFFFFF;

}  // namespace ornix::v1
