#pragma once

#include <cstdint>

// What the model file reader trusts of a snappy block before decompressing it (snappy's raw
// format: a varint length header, then literal and copy elements).

namespace ornix::python {

// The length header: a varint of at most 5 bytes.
inline constexpr uint64_t kMaxLengthHeaderBytes = 5;
// The longest block that decodes to one byte per element: a copy with a 4-byte offset.
inline constexpr uint64_t kMaxBlockBytesPerModelByte = 5;
// The densest element: a copy of 64 bytes written in 3 bytes.
inline constexpr uint64_t kDensestElementBytes = 3;
inline constexpr uint64_t kDensestElementYield = 64;

}  // namespace ornix::python
