#pragma once

#include <cstddef>
#include <cstdint>

namespace ornix::program {

// Words a DMA track may hold, headers and padding included.
inline constexpr uint32_t kMaxTrackWords = 65535;

// HRC weight memory: three SRAMs; weights travel in groups of up to nine 8-bit weights (72
// bits) in three consecutive words.
inline constexpr uint32_t kHrcWeightSrams = 3;
inline constexpr uint32_t kHrcGroupWords = 3;
inline constexpr uint32_t kHrcGroupWeights = 9;
inline constexpr uint32_t kHrcWeightBits = 8;
// A group in SRAM 1 of a single-channel 4x4 kernel holds at most this many weights.
inline constexpr uint32_t kHrcToggleGroupWeights = 7;
// Words of one SRAM that a single-channel 3x3 kernel fills (192 filters) before the next SRAM.
inline constexpr uint32_t kHrcRowWords = 576;
// Filters a single-channel 3x3 kernel may have: one group each, kHrcRowWords / 3 per SRAM.
inline constexpr uint32_t kHrcMaxFilters3x3 = kHrcWeightSrams * kHrcRowWords / kHrcGroupWords;
// Position-embedding elements packed into one word.
inline constexpr uint32_t kHrcEmbeddingsPerWord = 4;
// Settings of both flatbuffers builders of the device program; the alignment fixes its bytes.
inline constexpr size_t kBuilderInitialSize = 1024;  // bytes, the info builder's first allocation
inline constexpr size_t kBuilderAlignment = 8;       // bytes
// Memory of the program buffers: a block of kLargePageBytes or more is mapped on its own,
// ending on a large-page boundary (2 MiB on the common systems). The track arena's blocks grow
// from a small first one, kTrackArenaSmallGrowth times each while below a large page (so that
// a small or middling program is not worth a large page, whose first touch zeroes all of it),
// twice each from there on.
inline constexpr size_t kLargePageBytes = size_t{2} << 20;
inline constexpr size_t kTrackArenaFirstBlockBytes = size_t{32} << 10;
inline constexpr size_t kTrackArenaSmallGrowth = 16;
inline constexpr size_t kTrackArenaAlignment = 64;  // bytes, of every track's words
// Upper bounds of the flatbuffers bytes around the words (bytes), by which the serializer sizes
// the data builder before writing: per word vector with its table and its place in the record's
// track vector, per record (tables, vectors, a filters table), per pass, and once per buffer
// (root, vtables, alignment, the builder's scratch space).
inline constexpr size_t kDataBytesPerTrack = 32;
inline constexpr size_t kDataBytesPerRecord = 64;
inline constexpr size_t kDataBytesPerPass = 32;
inline constexpr size_t kBytesPerBuffer = 1024;
// The same for the info buffer: per track span, per record spans table (with a filters span),
// per pass spans table, per skip-DMA entry a layer may add (three at most), per element of the
// shapes, thresholds, scales and register values.
inline constexpr size_t kInfoBytesPerTrack = 8;
inline constexpr size_t kInfoBytesPerRecord = 64;
inline constexpr size_t kInfoBytesPerPass = 64;
inline constexpr size_t kInfoBytesPerLayer = 3 * 12;
inline constexpr size_t kInfoBytesPerElement = 8;

// Words of the dummy descriptor header (one DMA configuration header).
inline constexpr uint32_t kDummyHeaderWords = 2;

// Descriptors of a device program: each pass takes 1 + its largest track count, an 8-bit
// figure, and all passes together at most kMaxProgramDescriptors.
inline constexpr uint32_t kMaxDescriptorsPerPass = 255;
inline constexpr uint64_t kMaxProgramDescriptors = 256;

// The EPG registers are not recorded for a sequence of this output type code.
inline constexpr int8_t kOutputTypeWithoutEpg = 3;
// The EPG byte the sequence builder hands the I/O recorder.
inline constexpr uint8_t kEpgByte = 1;
// Bits of an output that the device delivers as bytes.
inline constexpr uint8_t kByteOutputBits = 8;
// A CNP output of this width reaches a following FNP in padded rows.
inline constexpr uint8_t kRowPaddedCnpOutputBits = 4;

}  // namespace ornix::program
