#pragma once

#include <cstdint>
#include <string>

#include "hardware/mapping_status.h"
#include "ornix/layer.h"
#include "ornix/tensor.h"

namespace ornix::v1 {

// Rules on the values a layer's neurons carry into their register fields and memories, shared
// by the checks of the HRC, the CNPs and the FNPs, so that a layer that passes them records.

// "act_bits": 1, 2 or 4 with an activation; without one the registers still take act_bits / 2
// in two bits, so 0 to 7.
LayerMappingStatus check_act_bits(const Layer& layer);

// Every value of `weights` (read as signed bytes, in storage order) lies in low..high; the first
// value outside is reported.
LayerMappingStatus check_weights_within(const Layer& layer, const Dense& weights, int32_t low, int32_t high);

// Every "threshold" value fits a `bits`-bit two's complement field; the first value outside is
// reported.
LayerMappingStatus check_thresholds_fit(const Layer& layer, int bits);

// Every "act_step", in sixteenths, is at most `max_t16`; the first beyond is reported as an
// act_step (whole steps, rounded toward zero) through `message`.
LayerMappingStatus check_act_steps_fit(const Layer& layer, uint32_t max_t16, std::string (*message)(int32_t));

}  // namespace ornix::v1
