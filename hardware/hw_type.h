#pragma once

#include <cstdint>
#include <string>

namespace ornix::hw {

// Kind of a hardware component.
enum class Type : uint32_t {
  None = 0,
  HRC = 1,             // high-resolution convolution input block
  CNP1 = 2,            // convolutional NP, type 1
  CNP2 = 3,            // convolutional NP, type 2
  FNP2 = 4,            // fully connected NP with external memory
  FNP3 = 5,            // fully connected NP with internal memory
  SKIP_DMA_STORE = 6,  // skip-DMA store engine
  TNP_B = 7,           // buffered temporal NP
  TNP_R = 8,           // recurrent temporal NP
  SKIP_DMA_LOAD = 9,   // skip-DMA load engine
  DMA = 10,            // the mesh DMA (a layer served without an NP)
};

// The enumerator's name ("None", "HRC", ..., "DMA"); "Unknown" for any other value.
std::string to_string(Type type);

}  // namespace ornix::hw
