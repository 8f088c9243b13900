#pragma once

#include <cstdint>
#include <vector>

#include "ornix/tensor.h"

namespace ornix::python {

// The class of each sample of a model output (N, ..., c): the c neurons form `num_classes`
// groups of consecutive elements, and a sample's class is the group holding its first largest
// value above the element type's lowest; -1 (no class) when no value rises above it.
// std::runtime_error for an output type that is not classified (int16, int4, int2),
// std::invalid_argument for fewer than two classes or c not a multiple of them.
std::vector<int64_t> predicted_classes(const Dense& output, int64_t num_classes);

// The share of samples whose predicted class is their label: matches over the number of labels.
// A sample without a class (-1) never matches. std::runtime_error when there are more predicted
// samples than labels.
float accuracy(const std::vector<int64_t>& predicted, const std::vector<int32_t>& labels);

}  // namespace ornix::python
