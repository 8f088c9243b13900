#pragma once

#include <cstdint>
#include <optional>

#include "hardware/hw_type.h"
#include "ornix/hw/ident.h"
#include "ornix/shape.h"

namespace ornix {

// The part of a layer's input one NP handles when a layer is split.
struct NpSpace {
  uint32_t x = 0;  // first column
  uint32_t y = 0;  // first row
  Shape shape;     // width, height, channels

  bool operator==(const NpSpace&) const = default;
};

// The share of a layer one NP computes.
struct NpAllocation {
  uint32_t start_neuron = 0;  // index of the first filter (neuron) of the share
  uint32_t filters = 0;       // number of filters of the share
  NpSpace spatial_partition;  // the input window the NP processes
  // The window grown by the neighbouring columns and rows the NP needs for its outputs (none
  // where the window touches the input's outer edges).
  NpSpace padded_partition;
  bool single_buffer = true;  // input memory used as one buffer (false: double buffering)

  bool operator==(const NpAllocation&) const = default;
};

// Memory figures of one component. Bytes; zero until a mapping attempt fills them.
struct MemoryInfo {
  uint32_t input_size = 0;
  uint32_t weight_size = 0;
  uint32_t external_size = 0;  // outside the mesh: an FNP2's weights, a skip-DMA store buffer

  bool operator==(const MemoryInfo&) const = default;
};

namespace hw {

// One hardware component assigned to a layer.
struct Component {
  Type type = Type::None;
  Ident ident;                        // all zeros until placed
  std::optional<NpAllocation> allocation;  // present only for an NP computing a share (CNP, TNP, FNP)
  MemoryInfo mem_info;

  bool operator==(const Component&) const = default;
};

// The component's NP share, or the share readers assume when it has none: no filters from
// neuron 0, all-zero windows, single buffer.
NpAllocation np_share_or_default(const Component& component);

}  // namespace hw
}  // namespace ornix
