#include <bit>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "model_buffer.h"
#include "model_format/model_generated.h"
#include "model_messages.h"
#include "ornix/layers/dense.h"

namespace ornix {

// Variable data is written as the engine holds it; the format says little-endian.
static_assert(std::endian::native == std::endian::little);

namespace {

namespace fbm = fb::model;
using Builder = flatbuffers::FlatBufferBuilder;
using Layers = std::vector<std::shared_ptr<Layer>>;

// Bytes a table with its vtable and offset may take beyond its strings and vectors.
constexpr uint64_t kTableBytes = 64;
// Bytes a string or vector may take beyond its content (length, terminator, padding).
constexpr uint64_t kVectorBytes = 16;

// An upper bound of the buffer's size: the builder's first allocation and the size check.
uint64_t estimated_size(const Layers& layers) {
  uint64_t total = kTableBytes + kVectorBytes;
  for (const auto& layer : layers) {
    total += kTableBytes + 4 * (kVectorBytes + kTableBytes) + layer->name().size() + 4 * layer->inbound_layers().size();
    for (const std::string& key : layer->params()->keys()) total += kTableBytes + kVectorBytes + key.size();
    const Variables& variables = layer->variables();
    for (const std::string& name : variables.names()) {
      const auto tensor = variables.get(name);
      total += kTableBytes + 3 * kVectorBytes + name.size() + 4 * tensor->shape().size() + tensor->byte_size();
    }
    if (const auto* learning = dynamic_cast<const FullyConnected*>(layer.get()); learning && learning->learning()) {
      for (const std::string& key : learning->learning()->keys()) total += kTableBytes + kVectorBytes + key.size();
    }
  }
  return total;
}

flatbuffers::Offset<fbm::Variable> write_variable(Builder& builder, const std::string& name, const Dense& tensor) {
  const auto saved_name = builder.CreateString(name);
  const auto shape = builder.CreateVector(tensor.shape().begin(), tensor.shape().size());
  const auto data = builder.CreateVector(tensor.buffer(), tensor.byte_size());
  return fbm::CreateVariable(builder, saved_name, static_cast<uint32_t>(tensor.type()),
                             static_cast<uint8_t>(tensor.layout()), shape, data);
}

flatbuffers::Offset<fbm::Learning> write_learning(Builder& builder, const Layer& layer) {
  const auto* dense = dynamic_cast<const FullyConnected*>(&layer);
  const LearningParams* learning = dense ? dense->learning() : nullptr;
  if (!learning) return 0;
  std::vector<flatbuffers::Offset<fbm::LearningValue>> values;
  for (const std::string& key : learning->keys()) {
    values.push_back(fbm::CreateLearningValue(builder, builder.CreateString(key), learning->get(key)));
  }
  return fbm::CreateLearning(builder, static_cast<uint32_t>(learning->learning_type()), builder.CreateVector(values));
}

flatbuffers::Offset<fbm::Layer> write_layer(Builder& builder, const Layer& layer,
                                            const std::unordered_map<const Layer*, uint32_t>& index_of) {
  const auto name = builder.CreateString(layer.name());
  std::vector<flatbuffers::Offset<fbm::Param>> params;
  for (const std::string& key : layer.params()->keys()) {
    params.push_back(fbm::CreateParam(builder, builder.CreateString(key), layer.params()->get(key)));
  }
  const auto saved_params = builder.CreateVector(params);
  std::vector<uint32_t> inbounds;
  for (const auto& inbound : layer.inbound_layers()) inbounds.push_back(index_of.at(inbound.get()));
  const auto saved_inbounds = builder.CreateVector(inbounds);
  std::vector<flatbuffers::Offset<fbm::Variable>> variables;
  for (const std::string& variable : layer.variables().names()) {
    variables.push_back(write_variable(builder, variable, *layer.variables().get(variable)));
  }
  const auto saved_variables = builder.CreateVector(variables);
  const auto learning = write_learning(builder, layer);
  return fbm::CreateLayer(builder, static_cast<uint32_t>(layer.params()->layer_type()), name, saved_params,
                          saved_inbounds, saved_variables, learning);
}

}  // namespace

std::vector<uint8_t> write_model_buffer(const Model& model) {
  const Layers layers = model.layers();
  const uint64_t estimate = estimated_size(layers);
  if (estimate > kMaxModelBufferBytes) {
    throw std::runtime_error(msg::model_too_large_to_save(estimate, kMaxModelBufferBytes));
  }

  std::unordered_map<const Layer*, uint32_t> index_of;
  for (uint32_t i = 0; i < layers.size(); ++i) index_of.emplace(layers[i].get(), i);
  Builder builder(estimate);
  std::vector<flatbuffers::Offset<fbm::Layer>> saved;
  saved.reserve(layers.size());
  for (const auto& layer : layers) saved.push_back(write_layer(builder, *layer, index_of));
  fbm::FinishModelBuffer(builder, fbm::CreateModel(builder, builder.CreateVector(saved)));
  return {builder.GetBufferPointer(), builder.GetBufferPointer() + builder.GetSize()};
}

}  // namespace ornix
