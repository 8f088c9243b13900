#pragma once

// The learning fields of the generation-1 NP register block (words 36 to 38, np_registers.h).

#include <cstdint>
#include <vector>

#include "ornix/learning_params.h"

namespace ornix::v1 {

// Without `params` (borrowed, may be null): clears word 36 bit 28 only. With them: sets word 36
// bit 28 and, from "num_weights" (nw), "initial_plasticity", "learning_competition",
// "min_plasticity" and "plasticity_decay" (read in this order; a missing key throws
// std::invalid_argument):
//   word 36 [19:0] round((1 - learning_competition) x nw), halves away from zero;
//   word 37 [15:0] ceil(nw x min_plasticity);
//   word 38 [15:0] ceil(round(nw x initial_plasticity) x plasticity_decay).
// A value too wide for its field (a value outside the 32-bit range counts as 0xFFFFFFFF) panics
// with the field-overflow message.
void format_learning_common_regs(std::vector<uint32_t>* regs, const LearningParams* params);

// The values format_learning_common_regs writes into words 36 to 38 for `params`, as the 32-bit
// values checked against their fields.
struct LearningFieldValues {
  uint32_t winners;           // word 36 [19:0]
  uint32_t min_plasticity;    // word 37 [15:0]
  uint32_t plasticity_decay;  // word 38 [15:0]
};
LearningFieldValues learning_field_values(const LearningParams& params);

// Word 39 [15:0] = `first`, then word 41 [11:0] = `second`; a value too wide for its field
// panics with the field-overflow message (`first` is checked, and written, before `second`).
void format_learning_cnp_regs(std::vector<uint32_t>* regs, uint32_t first, uint32_t second);

}  // namespace ornix::v1
