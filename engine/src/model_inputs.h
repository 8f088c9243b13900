#pragma once

#include <cstddef>

#include "ornix/layer.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

// The checks Model's inference entry points make before anything runs.

namespace ornix {

// std::invalid_argument, naming what the model takes and what came, unless `inputs` is a
// row-major (N, width, height, channels) tensor whose sample shape is `sample` (width, height,
// channels) and whose type is uint8, or int8 or int16 when `signed_input`.
void check_model_inputs(const Dense& inputs, const Shape& sample, bool signed_input);

// std::invalid_argument naming the value, unless every value of `inputs` (uint8, int8, int16 or
// int32) fits what `first`, the layer taking the samples, reads: its input bits, signed when it is
// an InputData layer with signed inputs. A device would drop the bits that do not fit.
void check_input_values(const Dense& inputs, const Layer& first);

// std::invalid_argument unless there are no labels, one for all samples or one per sample.
void check_labels(size_t labels, size_t samples);

}  // namespace ornix
