#pragma once

// On-chip learning of a FullyConnected layer on one generation-1 FNP: its programs, and the
// read-back of what it learned.
//
// A learning layer has 1-bit weights, so neuron n of its memory image is the block of
// S = ceil(I / 32) + 4 words at n x S (I inputs per neuron). Its learning fields:
//   block word 1  [29:20] class of the neuron, 1-based (only with more than one class)
//   block word 2  [19:0]  num_weights, whose bits 16 to 19 then hold bits 16 to 19 of
//                         threshold_learning
//   block word 3  [31:16] bits 0 to 15 of threshold_learning; [15:0] thswap

#include "ornix/device.h"
#include "ornix/hardware_device.h"
#include "ornix/layer.h"
#include "ornix/variables.h"
#include "program/record.h"

namespace ornix::v1 {

// The learning variables of a learning layer, one int32 value per unit.
inline constexpr const char* kVarThresholdLearning = "threshold_learning";
inline constexpr const char* kVarThswap = "thswap";

// The three records of the learning layer, for the first NP of its LayerMapping (an empty NP
// list throws std::out_of_range): its register block with learning (target 7, address 0), the
// same without learning, and its memory image (format_fnp_ram) patched with the learning
// fields from the learning parameters ("num_classes", "num_weights") and the variables
// "threshold_learning" and "thswap" (as target 6 on an FNP3, as the external filters track on
// an FNP2); then get_fnp_sram_size.
//
// Refused with FnpError: "weights_bits" other than 1, a learning variable the layer does not
// hold (naming the layer and the variable), more units than the weights have neurons
// (or than threshold_learning and thswap hold values), a negative threshold_learning
// ("Negative value for threshold_learning not supported."). Panics: threshold_learning of 2^19
// or more, num_weights above 20 bits, a class above 10 bits, a thswap above 16 bits. The
// failures of format_fnp_regs and format_fnp_ram pass through.
program::LearnRecordsPtr record_program_learning_dense_layer(const Device& device, const Layer& layer,
                                                             bool ib_spikes);

// The 1-based class of neuron n of a learning layer of `units` units and `num_classes` classes
// (more than one): units / num_classes neurons per class.
uint32_t learning_class_of(uint32_t neuron, uint32_t units, uint32_t num_classes);

// Reads the device's learn memory (on an FNP3 the image starts 2 words in) and replaces the
// variables "weights" (0 or 1 from the weight bits), "threshold_learning" and "thswap" with new
// tensors of their element types, shapes and layouts. A learn memory shorter than the image
// throws FnpError and leaves the variables unchanged.
void fnp_update_learn_vars(HardwareDevice* hardware, VariablesImpl* variables, bool is_fnp3);

}  // namespace ornix::v1
