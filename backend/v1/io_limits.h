#pragma once

// The type codes of a generation-1 sequence's input and output, and the limits that choose
// them.

#include <cstdint>

namespace ornix::v1 {

// Input type codes.
inline constexpr int8_t kInputType0 = 0;          // streamed straight in (HRC, or any layer on product ids above 0)
inline constexpr int8_t kInputTypeFlatFnp = 1;    // one flat vector into an FNP
inline constexpr int8_t kInputTypeNpPacket = 2;   // NP input packets
// Output type codes.
inline constexpr int8_t kOutputType0 = 0;         // streamed straight out
inline constexpr int8_t kOutputTypeFnp = 1;       // FNP output packets
inline constexpr int8_t kOutputTypeCnp = 2;       // CNP output packets
inline constexpr int8_t kOutputTypeHrc = 3;       // HRC output

// Input type 0 needs a product id other than this and at most this many input channels.
inline constexpr uint8_t kProductIdWithoutInputType0 = 0x00;
inline constexpr uint32_t kInputType0MaxChannels = 0x3FFFF;
// Output type 0 needs a product id above this, at most this many output channels and input
// type 0.
inline constexpr uint8_t kOutputType0MinProductIdExclusive = 0xA0;
inline constexpr uint32_t kOutputType0MaxChannels = 2047;

}  // namespace ornix::v1
