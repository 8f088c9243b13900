#pragma once

// The input NP (HRC) registers of the generation-2 chip: the five configuration words, the
// SRAM select word and the start word, each field {bit offset, width}, lowest bit first. Every
// block is a register write (dma::Target::RegisterWrite) or an SRAM load
// (dma::Target::HrcSram) at one of the addresses below, sent to the all-zero ident.
//
// Fields whose meaning belongs to the HRC hardware and which the formatter only sets together
// with another field are named by their bits (HRC0_VALID_BIT20).

#include <array>
#include <cstddef>
#include <cstdint>

#include "program/register_field.h"

namespace ornix::v2 {

// Register addresses (bytes).
inline constexpr uint16_t kHrcStartAddress = 0x00;       // start word
inline constexpr uint16_t kHrcConfigAddress = 0x08;      // the five configuration words
inline constexpr uint16_t kHrcSramSelectAddress = 0x20;  // SRAM select word
inline constexpr uint16_t kHrcSramDataAddress = 0x28;    // data of the selected SRAM

// Start word: [0] start. The recording ends with 1 then 0.
inline constexpr RegDetail HRC_START{0, 1};

// Configuration words.
inline constexpr std::size_t kHrcConfigWords = 5;

// Word 0: layer configuration.
inline constexpr std::size_t kHrcWordLayer = 0;
inline constexpr RegDetail HRC0_SRAM_LOADING{0, 1};  // set while the SRAMs are loaded
inline constexpr RegDetail HRC0_KERNEL{4, 3};        // kKernelCodes
inline constexpr RegDetail HRC0_OUTPUT_BITS{8, 2};   // kOutputBitsCodes
inline constexpr RegDetail HRC0_RELU{10, 1};
inline constexpr RegDetail HRC0_LUT{11, 1};
inline constexpr RegDetail HRC0_SINGLE_CHANNEL{12, 1};  // 1 input channel, else 3
inline constexpr RegDetail HRC0_VALID{13, 1};           // padding Valid, else Same
inline constexpr RegDetail HRC0_LUT_BIT15{15, 1};       // with HRC0_LUT
inline constexpr RegDetail HRC0_MAX_POOL{16, 1};
inline constexpr RegDetail HRC0_MAX_POOL_BIT17{17, 1};  // with HRC0_MAX_POOL
inline constexpr RegDetail HRC0_VALID_BIT20{20, 1};     // with HRC0_VALID
inline constexpr RegDetail HRC0_VALID_BIT21{21, 1};     // with HRC0_VALID
inline constexpr RegDetail HRC0_POOL_SIZE_LOW{24, 4};   // the pool size, twice
inline constexpr RegDetail HRC0_POOL_SIZE_HIGH{28, 4};

// Word 1: strides, each written twice.
inline constexpr std::size_t kHrcWordStrides = 1;
inline constexpr RegDetail HRC1_KERNEL_STRIDE_LOW{0, 5};
inline constexpr RegDetail HRC1_KERNEL_STRIDE_HIGH{8, 5};
inline constexpr RegDetail HRC1_POOL_STRIDE_LOW{16, 4};
inline constexpr RegDetail HRC1_POOL_STRIDE_HIGH{24, 4};

// Word 2: the value padding adds on each of up to three input channels.
inline constexpr std::size_t kHrcWordPaddingValues = 2;
inline constexpr std::array<RegDetail, 3> HRC2_PADDING_VALUES{{{0, 8}, {8, 8}, {16, 8}}};

// Word 3: the convolution's padding amounts.
inline constexpr std::size_t kHrcWordPadding = 3;
inline constexpr RegDetail HRC3_PAD_LEFT{0, 2};
inline constexpr RegDetail HRC3_PAD_RIGHT{4, 2};
inline constexpr RegDetail HRC3_PAD_TOP{8, 2};
inline constexpr RegDetail HRC3_PAD_BOTTOM{12, 2};

// Word 4: filters.
inline constexpr std::size_t kHrcWordFilters = 4;
inline constexpr RegDetail HRC4_FILTERS_MINUS_ONE{16, 9};

// Codes of the kernel size and output width fields.
struct HrcCode {
  int32_t value;
  uint32_t code;
};
inline constexpr std::array<HrcCode, 5> kKernelCodes{{{3, 0}, {4, 1}, {5, 2}, {7, 3}, {16, 4}}};
inline constexpr std::array<HrcCode, 2> kOutputBitsCodes{{{4, 2}, {8, 3}}};

// SRAM select word: one bit per SRAM.
inline constexpr RegDetail HRC_SRAM_SELECT_R{0, 1};
inline constexpr RegDetail HRC_SRAM_SELECT_G{1, 1};
inline constexpr RegDetail HRC_SRAM_SELECT_B{2, 1};
inline constexpr RegDetail HRC_SRAM_SELECT_LUT{29, 1};
inline constexpr RegDetail HRC_SRAM_SELECT_ACT{31, 1};

}  // namespace ornix::v2
