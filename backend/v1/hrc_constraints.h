#pragma once

#include "hardware/mapping_status.h"
#include "ornix/layer.h"

namespace ornix::v1 {

// The limits of an InputConvolutional layer on the HRC, each broken one a line, in this order:
// square kernel of 3, 5 or 7; act_bits 1, 2 or 4 when activated; 1 or 3 input channels;
// strides 1 to 3; 1 to the kernel's and channels' most filters; input rows (more with a Valid
// padding; a short input then breaks two limits) and columns; no average pooling, max pooling
// of 1 or 2 with strides equal to the sizes and at least 2 output rows; an activation; weights
// not all zero; a padding value of 0 to 255; then (while all passes) every act_step within 0 to
// 1048575 and every threshold within 24-bit two's complement.
LayerMappingStatus check_hrc_constraints(const Layer& layer);

}  // namespace ornix::v1
