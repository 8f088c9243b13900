#pragma once

// Every message text of program assembly. (A register field that would overflow panics with
// hardware's kMsgFieldOverflowFormat, the one text for that fault in the back end.)

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornix::program {

inline constexpr const char* kMsgNpProgramError = "Error generating NP program.";

// panic formats: value, field width in bits.
inline constexpr const char kMsgSignedRangeFormat[] = "%d cannot fit in a %d bits signed integer.";
inline constexpr const char kMsgUnsignedRangeFormat[] = "%d cannot fit in a %d bits unsigned integer.";

// NP split geometry
inline constexpr const char* kMsgNpSplitStride = "An NP split needs a convolution stride of at least 1.";

// HRC tensor formatting
inline constexpr const char* kMsgWrongHrcKernelSize = "Wrong kernel_size at HRC recording.";
inline constexpr const char* kMsgHrcWeightsShape =
    "HRC weights must have four dimensions, a square kernel and 1 or 3 input channels.";
inline constexpr const char* kMsgHrcNotTwoDimensional =
    "HRC tokens and position embeddings must be two-dimensional tensors.";
inline constexpr const char* kMsgHrcEmbeddingsWidth =
    "HRC position embeddings must have a second dimension that is a multiple of 4.";

inline std::string hrc_too_many_filters_message(uint32_t limit) {
  return "HRC weights of one input channel and a 3x3 kernel hold at most " + std::to_string(limit) + " filters.";
}

inline std::string hrc_too_few_elements_message(std::size_t held, std::size_t read) {
  return "An HRC parameter tensor holds " + std::to_string(held) + " elements but " + std::to_string(read) +
         " are read.";
}

}  // namespace ornix::program
