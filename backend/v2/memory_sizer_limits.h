#pragma once

// The constants of the generation-2 memory figures.

#include <cstdint>

namespace ornix::v2 {

inline constexpr uint32_t kWordBytes = 4;          // 32-bit words
inline constexpr uint32_t kWordBits = 32;
inline constexpr uint32_t kCnpWeightWordBits = 100;  // one CNP weight word

// CNP input memory: a padded input row of one channel takes whole words; the words of one row
// over all channels are kept to their low kCnpPlaneBits bits; a layer fed by an Add reserves
// kAddInputExtraWords more words.
inline constexpr uint32_t kCnpPlaneBits = 27;
inline constexpr uint32_t kAddInputExtraWords = 512;

// TNP-B input memory: channels counted in groups of 4, each frame rounded up to 64 words.
inline constexpr uint32_t kTnpBChannelGroup = 4;
inline constexpr uint32_t kTnpBFrameWordsGranule = 64;

// Skip-DMA store buffers of non-temporal layers, in frames: 2 when the sequence has several
// passes, else 3 plus the largest depth distance to an outbound layer.
inline constexpr uint32_t kSkipStoreFramesSeveralPasses = 2;
inline constexpr uint32_t kSkipStoreFramesOnePass = 3;

}  // namespace ornix::v2
