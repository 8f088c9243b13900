#pragma once

#include <cstdint>

#include "bit_field.h"
#include "ornix/hw/ident.h"

namespace ornix {

// Register map of this engine's device. The device keeps its identity and state in 32-bit
// registers of a window reserved to the engine, at fixed absolute driver addresses
// 0xFF000000-0xFFFFFFFF: clear of the top register block (driver base + offsets below 0x100)
// and of the SoC clock registers (0xF000xxxx). Every register reads 0 until set.
struct DeviceRegs {
  // ---- Identity

  // [31:24] vendor | [23:16] product | [15:8] major | [7:0] minor. 0: no device behind the
  // driver. Read once, when the device is opened.
  static constexpr uint32_t kVersion = 0xFF000000;
  static constexpr BitField kVersionVendor{24, 8};
  static constexpr BitField kVersionProduct{16, 8};
  static constexpr BitField kVersionMajor{8, 8};
  static constexpr BitField kVersionMinor{0, 8};

  // NP descriptor table: one word per NP identifier (col, row, id) with id 0 to 7 (a mesh node
  // has at most 8 NPs) and channel 0; 256 x 256 x 8 words (2 MiB) from kNpDescriptors. The
  // word's layout is the one mesh discovery decodes.
  static constexpr uint32_t kNpDescriptors = 0xFF800000;
  static constexpr uint32_t kNpIdsPerNode = 8;
  static constexpr bool in_np_table(const hw::Ident& ident) {
    return ident.id < kNpIdsPerNode && ident.channel == 0;
  }
  // Address of an identifier's descriptor word; the identifier must be in the table.
  static constexpr uint32_t np_descriptor(const hw::Ident& ident) {
    return kNpDescriptors + ((uint32_t{ident.col} * 256 + ident.row) * kNpIdsPerNode + ident.id) * 4;
  }

  // ---- Counters and switches

  static constexpr uint32_t kClockCounter = 0xFF000004;       // device clock cycles; free-running, wraps
  static constexpr uint32_t kBusy = 0xFF000008;               // bit 0: busy; also the clock-measurement switch
  static constexpr uint32_t kProgramClockCount = 0xFF00000C;  // device clock cycles the last programming took
  static constexpr uint32_t kMemoryUsage = 0xFF000010;        // bytes
  static constexpr uint32_t kMemoryTopUsage = 0xFF000014;     // bytes; a reset sets it to the usage
  static constexpr uint32_t kLearnEnable = 0xFF000018;        // bit 0: learning on
  static constexpr uint32_t kBit0 = 0x1;

  // ---- Program and run

  static constexpr uint32_t kProgramSize = 0xFF000030;     // bytes of the program given; 0 when unprogrammed
  static constexpr uint32_t kProgramAddress = 0xFF000034;  // device address of external program data
  static constexpr uint32_t kRunFrames = 0xFF000038;       // frame count of the declared run
  static constexpr uint32_t kRunReset = 0xFF00003C;        // bit 0: the declared run starts from a reset

  // Output geometry of the program: per frame, one tensor of shape (width, height, channels)
  // and element type kOutputType (a TensorType value).
  static constexpr uint32_t kOutputWidth = 0xFF000040;
  static constexpr uint32_t kOutputHeight = 0xFF000044;
  static constexpr uint32_t kOutputChannels = 0xFF000048;
  static constexpr uint32_t kOutputType = 0xFF00004C;

  // ---- Learned memory

  static constexpr uint32_t kLearnMemSize = 0xFF000050;    // 32-bit words of the learning layer's memory
  static constexpr uint32_t kLearnMem = 0xFF400000;        // the words, in order
  static constexpr uint32_t kLearnMemMaxWords = 0x100000;  // 4 MiB: up to 0xFF7FFFFF
  static constexpr uint32_t learn_mem_word(uint32_t index) { return kLearnMem + index * 4; }
};

}  // namespace ornix
