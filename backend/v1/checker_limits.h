#pragma once

// Limits applied by the generation-1 compatibility checker and its layer constraint checks.
// The per-device memories (CNP weights, NP input, FNP input and FNP3 SRAM) come from
// HardwareConstraints.

#include <array>
#include <cstdint>

namespace ornix::v1 {

// CNP input and filters.
inline constexpr uint32_t kCnpMaxInputWidth = 4096;
inline constexpr uint32_t kCnpMaxInputHeight = 4096;
inline constexpr uint32_t kCnpMaxInputChannels = 2048;
inline constexpr int32_t kCnpMaxFilters = 2048;

// Convolution strides of 1 or 2; 2 only with this kernel size.
inline constexpr int32_t kCnpMaxStride = 2;
inline constexpr int32_t kCnpStride2KernelSize = 3;

// Max pooling sizes; Vamo_v2 refuses the largest.
inline constexpr std::array<uint8_t, 3> kMaxPoolSizes{1, 2, 3};
inline constexpr uint8_t kMaxPoolSizeRefusedOnVamoV2 = 3;

// Global average pooling (a pooling width of -1): at most 32 input columns, at least 3 rows of
// convolution output, and the whole input in the NP's input memory (32-bit words).
inline constexpr int32_t kGlobalPoolSize = -1;
inline constexpr uint32_t kAveragePoolMaxInputWidth = 32;
inline constexpr uint32_t kAveragePoolMinConvRows = 3;
inline constexpr uint32_t kAveragePoolMaxInputWords = 10752;

// Kernel sizes and weight widths per CNP form.
inline constexpr std::array<int32_t, 4> kStdCnpKernelSizes{1, 3, 5, 7};
inline constexpr std::array<int32_t, 3> kStdCnpWeightsBits{1, 2, 4};
inline constexpr std::array<int32_t, 3> kSepCnpKernelSizes{3, 5, 7};
inline constexpr std::array<int32_t, 2> kSepCnpWeightsBits{2, 4};

// CNP and FNP input widths. FNP: activation widths, input values (fewer on Vamo_v2), weight widths 1 to 4.
inline constexpr std::array<uint32_t, 3> kNpInputBits{1, 2, 4};
inline constexpr std::array<int32_t, 3> kActBits{1, 2, 4};
// Without activation the registers still take act_bits / 2 in a 2-bit field.
inline constexpr int32_t kMaxActBitsWithoutActivation = 7;
inline constexpr uint64_t kFnpMaxInputValues = 81920;
inline constexpr uint64_t kFnpMaxInputValuesVamoV2 = 57334;
inline constexpr int32_t kFnpMinWeightsBits = 1;
inline constexpr int32_t kFnpMaxWeightsBits = 4;
// Bytes of one FNP input memory word.
inline constexpr uint64_t kFnpInputWordBytes = 4;

// HRC: square kernels of 3, 5 or 7, one or three input channels, strides 1 to 3.
inline constexpr std::array<uint8_t, 3> kHrcKernelSizes{3, 5, 7};
inline constexpr std::array<int32_t, 2> kHrcInputChannels{1, 3};
inline constexpr int32_t kHrcMinStride = 1;
inline constexpr int32_t kHrcMaxStride = 3;
// Most filters by kernel size, from kernel size kHrcFirstKernelSize on (0: size not served).
inline constexpr uint8_t kHrcFirstKernelSize = 3;
inline constexpr std::array<int32_t, 5> kHrcMaxFiltersThreeChannels{192, 0, 64, 0, 32};
inline constexpr std::array<int32_t, 5> kHrcMaxFiltersOneChannel{512, 0, 192, 0, 96};
inline constexpr int32_t kHrcOneChannel = 1;
// Input: at least 5 columns and rows (more rows for a valid padding, see the check), at most
// 256 rows.
inline constexpr int32_t kHrcMinInputSize = 5;
inline constexpr int32_t kHrcMaxInputHeight = 256;
// Max pooling sizes 1 or 2; at least 2 output rows.
inline constexpr int32_t kHrcMinPoolSize = 1;
inline constexpr int32_t kHrcMaxPoolSize = 2;
inline constexpr uint32_t kHrcMinPooledOutputHeight = 2;
// The padding value fills an 8-bit field per colour plane.
inline constexpr int32_t kHrcMaxPaddingValue = 255;
// Steps, in sixteenths of an act_step, fit 24 bits: act_step 0 to 1048575.
inline constexpr uint32_t kHrcMaxStepT16 = 0xFFFFFF;
inline constexpr int32_t kStepT16PerActStep = 16;

// NP placement: a CNP reads at most 32 input columns, counted in groups of 4.
inline constexpr uint32_t kMaxNpInputWidth = 32;
inline constexpr uint32_t kNpInputWidthAlign = 4;
// Vamo_v2, one input channel and more filters than this: each NP takes an even number of
// groups of 8 filters.
inline constexpr int32_t kOneChannelFiltersWithoutGroupRule = 16;
inline constexpr uint32_t kOneChannelFilterGroup = 8;

// Weight values the CNP formats store as they are: a standard layer's 1-bit weights are 0 or 1
// (-1 too for 1x1 kernels, which keep a negative bit), 2-bit -1 to 1, 4-bit -7 to 7 (a sign and
// a magnitude); a separable layer's are two's complement of their width.
inline constexpr int32_t kStdCnpTwoPlaneKernel = 1;
inline constexpr int32_t kStdCnpFourBitMax = 7;

// A learning FullyConnected layer has 1-bit weights.
inline constexpr int32_t kLearningWeightsBits = 1;

// Weight values of 1 bit a CNP or an FNP stores: 0 or 1.
inline constexpr int32_t kOneBitWeightMin = 0;
inline constexpr int32_t kOneBitWeightMax = 1;
// FullyConnected weights of b bits lie strictly between -R and R, R = 2^(b-1) and 2 for 1 bit.
inline constexpr int32_t kFnpOneBitWeightBound = 2;

}  // namespace ornix::v1
