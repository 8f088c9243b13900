#pragma once

// Sizes of a FullyConnected layer on a generation-1 FNP: its memory image (neuron parameters
// and weight planes) and its input memory. All arithmetic is unsigned 32-bit.

#include <cstdint>

#include "hardware/hw_type.h"
#include "mapping/hardware_constraints.h"
#include "ornix/layer.h"
#include "ornix/shape.h"

namespace ornix::v1 {

// Weight planes per 32 inputs: 1 for 1-bit weights, else 2 x (bits - 1) (a positive and a
// negative group of bits - 1 magnitude planes). `bits` is at least 1.
uint32_t fnp_weight_planes(int bits);

// 32-bit words of the memory image of weights of shape (neurons, inputs):
// (ceil(inputs / 32) x planes + 4) x neurons.
uint32_t fnp_sram_size(const Shape& shape, int bits);

// fnp_sram_size of the layer's "weights" and "weights_bits", rounded up to a multiple of 16 when
// a block that size needs the extra-large DMA header.
uint32_t get_fnp_sram_size(const Layer& layer);

// 32-bit words of the layer's input: (width x height x channels + 31) / 32 of its first input.
uint32_t get_fnp_input_size(const Layer& layer);

// Whether the layer fits an FNP of `type`: always on an FNP2 (external memory), else when
// get_fnp_sram_size is within the FNP3 budget and fnp_sram_size fits the FNP3 register field
// FNP4_W_SIZE_LAST (the budget of a mesh given more SRAM than the hardware's may exceed it).
bool is_fnp_type_compatible(const HardwareConstraints& constraints, const Layer& layer, hw::Type type);

}  // namespace ornix::v1
