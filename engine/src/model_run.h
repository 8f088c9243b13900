#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/hardware_mapping.h"
#include "ornix/sequence.h"
#include "ornix/tensor.h"

namespace ornix {

// The mapper the back end registered; empty when none.
HardwareMapper registered_hardware_mapper();

// One tensor of shape (count, sample dims...) holding the samples back to back;
// std::runtime_error when they differ in type or shape.
std::shared_ptr<Dense> stack(const std::vector<std::shared_ptr<const Tensor>>& samples);

// Runs the samples of `inputs` through `sequences` in order, `batch_size` samples at a time
// (0: all at once), and stacks the outputs along a new first dimension. With `labels` (fit) the
// sequence holding the learning layer learns: each batch gets the labels, or its own share when
// there is one per sample.
std::shared_ptr<Dense> run_sequences(const std::vector<std::shared_ptr<Sequence>>& sequences, const Dense& inputs,
                                     const std::vector<int32_t>* labels, uint32_t batch_size);

}  // namespace ornix
