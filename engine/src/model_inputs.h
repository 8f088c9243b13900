#pragma once

#include <cstddef>

#include "ornix/shape.h"
#include "ornix/tensor.h"

// The checks Model's inference entry points make before anything runs.

namespace ornix {

// std::invalid_argument, naming what the model takes and what came, unless `inputs` is a
// row-major (N, width, height, channels) tensor whose sample shape is `sample` (width, height,
// channels) and whose type is uint8, or int8 or int16 when `signed_input`.
void check_model_inputs(const Dense& inputs, const Shape& sample, bool signed_input);

// std::invalid_argument unless there are no labels, one for all samples or one per sample.
void check_labels(size_t labels, size_t samples);

}  // namespace ornix
