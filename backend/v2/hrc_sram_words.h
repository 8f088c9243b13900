#pragma once

// The words an InputConv2D layer loads into the input NP's (HRC) SRAMs, packed from the
// layer's variables by the HRC tensor packers (program/hrc_format.h). A missing mandatory
// variable throws the engine's std::invalid_argument naming it; wrong element types and values
// out of their fields panic in the packers.

#include <cstdint>
#include <vector>

#include "ornix/layer.h"
#include "program/hrc_format.h"

namespace ornix::v2 {

// "weights" for the R, G and B weight SRAMs (a list may be empty).
HrcWeightWords hrc_weight_words(const Layer& layer);

// Two words per filter from "output_shift", "output_scales", "bias_shift", "bias" and, when
// the layer has them, "max_value_shift" and "max_value".
std::vector<uint32_t> hrc_activation_words(const Layer& layer);

// Two words per filter for a lookup-table activation, from "output_scales", "bias",
// "bias_shift", "output_shift", "activation_shift" and "activation_scales".
std::vector<uint32_t> hrc_lut_activation_words(const Layer& layer);

// The lookup table "lut_values" (2048 int32 values), one word each.
std::vector<uint32_t> hrc_lut_words(const Layer& layer);

}  // namespace ornix::v2
