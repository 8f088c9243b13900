#pragma once

// Geometry of the generation-1 FNP memory image and input memory.

#include <cstdint>

#include "program/register_field.h"

namespace ornix::v1 {

// Every neuron block of the FNP memory opens with four parameter words: threshold, step and
// two words the learning formatter fills.
inline constexpr uint32_t kFnpNeuronHeaderWords = 4;
inline constexpr uint32_t kFnpBlockThresholdWord = 0;
inline constexpr uint32_t kFnpBlockStepWord = 1;

// The learning fields of a neuron block: its class (from 1), num_weights, threshold_learning
// (20-bit two's complement, never negative, split over two words) and thswap.
inline constexpr uint32_t kBlockClassWord = 1;
inline constexpr RegDetail kBlockClass{20, 10};
inline constexpr uint32_t kBlockNumWeightsWord = 2;
inline constexpr RegDetail kBlockNumWeights{0, 20};
inline constexpr RegDetail kBlockThresholdHigh{16, 4};
inline constexpr uint32_t kBlockThresholdSwapWord = 3;
inline constexpr RegDetail kBlockThresholdLow{16, 16};
inline constexpr RegDetail kBlockThswap{0, 16};
inline constexpr int kThresholdLearningBits = 20;

// Weights and inputs are grouped in chunks of 32, one bit of each per word.
inline constexpr uint32_t kFnpChunkInputs = 32;

// Thresholds are 20-bit two's complement; steps (sixteenths of an act_step) 20-bit unsigned.
inline constexpr int kFnpThresholdBits = 20;
inline constexpr uint32_t kFnpMaxStep = 0xFFFFF;
inline constexpr uint32_t kFnpStepScale = 16;
// Word 0 of a neuron without activation: the most negative 20-bit threshold.
inline constexpr uint32_t kFnpNoActivationThreshold = 0x80000;

// Sizes are rounded up to a multiple of this many words when they need the extra-large header.
inline constexpr uint32_t kFnpXlRoundWords = 16;

}  // namespace ornix::v1
