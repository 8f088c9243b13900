#pragma once

#include <cstdint>
#include <vector>

#include "ornix/model.h"

// The saved model format (engine/model.fbs): Model::to_buffer writes it through
// write_model_buffer, Model::from_buffer reads it.

namespace ornix {

// `model` in the saved format; std::runtime_error when it would exceed kMaxModelBufferBytes.
std::vector<uint8_t> write_model_buffer(const Model& model);

}  // namespace ornix
