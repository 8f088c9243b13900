#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/model.h"

// The saved model format (engine/model.fbs): Model::to_buffer writes it through
// write_model_buffer, Model::from_buffer reads it.

namespace ornix {

// `model` in the saved format; std::runtime_error when it would exceed kMaxModelBufferBytes.
std::vector<uint8_t> write_model_buffer(const Model& model);

// Model::compile for a model being read (made by Model::create): the last layer learns with
// `learning` and keeps its weights as saved, neurons without connections included.
void restore_learning(Model& model, std::shared_ptr<LearningParams> learning);

}  // namespace ornix
