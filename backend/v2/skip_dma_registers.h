#pragma once

// Registers of the skip-DMA channels (DMA target 11): their 16-bit addresses, the fixed words
// written to them and the fields of the words that carry values, lowest bit first.
//
// A channel's own registers sit at channel x kSkipDmaChannelStride + offset, computed modulo
// 2^16; kSkipDmaShared is one address for every channel. Registers that the recorder only sets
// to a fixed value are named by their offset: their meaning belongs to the skip-DMA hardware.

#include <cstdint>

#include "program/register_field.h"

namespace ornix::v2 {

inline constexpr uint32_t kSkipDmaChannelStride = 256;

// Address shared by every channel; each store and load configuration writes one word 0 there.
inline constexpr uint16_t kSkipDmaShared = 0x1001;
inline constexpr uint32_t kSkipDmaSharedWord = 0;

// Per-channel offsets, in the order of their addresses.
inline constexpr uint16_t kSkipDmaReg00 = 0x00;                // TNP-B load channel: kSkipDmaTnpBReg00Word
inline constexpr uint16_t kSkipDmaReg03 = 0x03;                // load: one word, SKIPDMA_REG03_*
inline constexpr uint16_t kSkipDmaReg1C = 0x1C;                // store: kSkipDmaReg1CWord
inline constexpr uint16_t kSkipDmaReg22 = 0x22;                // store: kSkipDmaReg22Word0, then SKIPDMA_REG22_COUNT
inline constexpr uint16_t kSkipDmaReg28 = 0x28;                // load of a layer not on TNP-B: kSkipDmaReg28Word
inline constexpr uint16_t kSkipDmaStoreGeometry = 0x3C;        // store: three words, SKIPDMA_GEOMETRY<word>_*
inline constexpr uint16_t kSkipDmaLoadDescriptor = 0x1004;     // load: target word, SKIPDMA_LOAD1_*, SKIPDMA_LOAD2_*
inline constexpr uint16_t kSkipDmaStoreTarget = 0x1024;        // forwarding store: the target word
inline constexpr uint16_t kSkipDmaStoreStream = 0x1026;        // store: one word, SKIPDMA_STORE_*
inline constexpr uint16_t kSkipDmaLoadChannelOffset = 0x102B;  // load: one word, SKIPDMA_CHANNEL_OFFSET

// Fixed words.
inline constexpr uint32_t kSkipDmaTnpBReg00Word = 0x83000601;  // written twice
inline constexpr uint32_t kSkipDmaReg1CWord = 32;
inline constexpr uint32_t kSkipDmaReg22Word0 = 2;
inline constexpr uint32_t kSkipDmaReg28Word = 2;

// Target word: the NP, or the columns of NPs, that a channel serves.
inline constexpr RegDetail SKIPDMA_TARGET_MODE{0, 4};       // kSkipDmaTargetOneNp or kSkipDmaTargetColumns
inline constexpr RegDetail SKIPDMA_TARGET_NP_SELECT{4, 4};  // one NP: 1 << its ident id; else 0
inline constexpr RegDetail SKIPDMA_TARGET_ROW{16, 8};       // one NP: its row
inline constexpr RegDetail SKIPDMA_TARGET_MIN_COL{16, 8};   // several: their smallest column
inline constexpr RegDetail SKIPDMA_TARGET_COL{24, 8};       // one NP: its column
inline constexpr RegDetail SKIPDMA_TARGET_MAX_COL{24, 8};   // several: their largest column
inline constexpr uint32_t kSkipDmaTargetColumns = 1;
inline constexpr uint32_t kSkipDmaTargetOneNp = 2;

// Load register 3.
inline constexpr RegDetail SKIPDMA_REG03_LOW{0, 16};  // kSkipDmaReg03Low
inline constexpr RegDetail SKIPDMA_REG03_FIFO{16, 8};  // a TNP-B layer's fifo_size, else kSkipDmaReg03Fifo
inline constexpr uint32_t kSkipDmaReg03Low = 2;
inline constexpr uint32_t kSkipDmaReg03Fifo = 2;

// Load descriptor, words 1 and 2 (word 0 is the target word of the loading layer's NPs).
inline constexpr RegDetail SKIPDMA_LOAD1_CONSUMER{8, 8};
inline constexpr RegDetail SKIPDMA_LOAD2_BYTE0{0, 8};  // kSkipDmaLoad2Byte0
inline constexpr RegDetail SKIPDMA_LOAD2_STREAM{8, 8};  // the stored data the load reads
inline constexpr RegDetail SKIPDMA_LOAD2_CONSUMER_A{16, 8};
inline constexpr RegDetail SKIPDMA_LOAD2_CONSUMER_B{24, 8};
inline constexpr uint32_t kSkipDmaLoad2Byte0 = 1;

// Load channel offset (channels, under a Concatenate merge).
inline constexpr RegDetail SKIPDMA_CHANNEL_OFFSET{0, 12};

// Store stream word.
inline constexpr RegDetail SKIPDMA_STORE_FORWARD{0, 8};  // 1 for a TNP-B layer or a forwarding store, else 0
inline constexpr RegDetail SKIPDMA_STORE_STREAM{8, 8};   // the stream id the stored data is known by

// Store register 0x22, word 1.
inline constexpr RegDetail SKIPDMA_REG22_COUNT{0, 12};  // a TNP-B layer's fifo_size + 1, else kSkipDmaReg22Count
inline constexpr uint32_t kSkipDmaReg22Count = 2;

// Store geometry, three words: FIFO size, then the stored data's lines and blocks.
inline constexpr RegDetail SKIPDMA_GEOMETRY0_FIFO{0, 4};  // a TNP-B layer's fifo_size, else 0
inline constexpr RegDetail SKIPDMA_GEOMETRY0_BIT28{28, 1};
inline constexpr RegDetail SKIPDMA_GEOMETRY1_LINE_WORDS{0, 10};    // 32-bit words per line
inline constexpr RegDetail SKIPDMA_GEOMETRY2_BLOCK_WORDS{0, 21};   // 32-bit words per block

}  // namespace ornix::v2
