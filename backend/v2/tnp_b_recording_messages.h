#pragma once

// Every message text of the TNP-B weight packers, register builders and recorders. (A field that
// would overflow panics with hardware's kMsgFieldOverflowFormat; an unmapped layer or an NP
// without allocation is refused with the texts the Conv2D builder uses.)

#include <cstdint>
#include <string>

namespace ornix::v2 {

inline constexpr const char* kMsgInvalidTnpBLayerType = "Invalid layer type for TNP-B recording.";

// A depthwise weights tensor with more taps than one channel's weight word holds.
inline std::string too_many_depthwise_taps_message(uint32_t taps, uint32_t max_taps) {
  return "A DepthwiseBufferTempConv channel holds at most " + std::to_string(max_taps) +
         " taps in its weight word (got " + std::to_string(taps) + ").";
}

}  // namespace ornix::v2
