#pragma once

// Fields of the CNP register block (np_register_block.h) that only the convolution builders
// write (cnp_container_registers.h), in addition to the shared CNP fields of cnp_registers.h:
// the sizes of the NP's input container rows and its filter groups. Fields
// hold only offset and width.

#include <cstddef>

#include "backend/v2/cnp_registers.h"
#include "program/register_field.h"

namespace ornix::v2 {

// Word 28 (kWordContainerSizes): besides CNP8_CPK_CHCONT_SIZE (bytes of one padded input row of
// one channel; for a depthwise form, bytes of one channel's padded plane in whole words), the
// 32-bit words of one padded input row over all the NP's channels (of one channel for a
// depthwise form). Bits 14-15 are not written.
inline constexpr RegDetail REG28_ROW_WORDS{0, 14};

// Word 29: the NP's filters in groups of eight (1 for a depthwise form).
inline constexpr std::size_t kWordFilterGroups = 29;
inline constexpr RegDetail REG29_FILTER_GROUPS{16, 8};

}  // namespace ornix::v2
