#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "format_text.h"
#include "layer_build.h"
#include "model_buffer.h"
#include "model_format/model_generated.h"
#include "model_messages.h"

namespace ornix {

namespace {

namespace fbm = fb::model;

// The refusal of one layer's content; the layer loop adds which layer.
struct SavedLayerError : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

std::string_view text(const flatbuffers::String* string) { return {string->c_str(), string->size()}; }

// Names must come as the engine lists them: ascending, each once.
template <typename Entry, typename Key>
void check_ascending(const flatbuffers::Vector<flatbuffers::Offset<Entry>>* entries, Key key) {
  if (!entries) return;
  for (flatbuffers::uoffset_t i = 1; i < entries->size(); ++i) {
    if (!(text(key(entries->Get(i - 1))) < text(key(entries->Get(i))))) {
      throw SavedLayerError(msg::kSavedNamesUnordered);
    }
  }
}

// The names a saved layer holds besides its own reach Python and its messages: they must be UTF-8.
void check_names_are_utf8(const fbm::Layer& saved) {
  const auto check = [](const flatbuffers::String* name) {
    if (!is_utf8(text(name))) throw SavedLayerError(msg::kSavedNameNotUtf8);
  };
  if (saved.params()) {
    for (const fbm::Param* param : *saved.params()) check(param->key());
  }
  if (saved.variables()) {
    for (const fbm::Variable* variable : *saved.variables()) check(variable->name());
  }
  if (saved.learning() && saved.learning()->values()) {
    for (const fbm::LearningValue* value : *saved.learning()->values()) check(value->key());
  }
}

std::unique_ptr<LayerParams> read_params(const fbm::Layer& saved) {
  check_ascending(saved.params(), [](const fbm::Param* param) { return param->key(); });
  LayerParams::Values values;
  if (saved.params()) {
    for (const fbm::Param* param : *saved.params()) values.emplace(param->key()->str(), param->value());
  }
  return LayerParams::create(static_cast<LayerType>(saved.type()), values);
}

std::shared_ptr<const Dense> read_variable(const fbm::Variable& saved) {
  const std::string name = saved.name()->str();
  const auto refuse = [&](const std::string& problem) {
    return SavedLayerError(msg::saved_variable_invalid(name, problem));
  };
  const auto type = static_cast<TensorType>(saved.type());
  const size_t element_size = tensor_element_size(type);
  if (element_size == 0) throw refuse(msg::saved_unknown_type(saved.type()));
  if (saved.layout() > static_cast<uint8_t>(Layout::Reversed)) throw refuse(msg::saved_unknown_layout(saved.layout()));
  const auto* dims = saved.shape();
  if (dims->size() == 0 || dims->size() > Shape::kMaxDims) throw refuse(msg::kSavedBadDimensions);
  uint32_t copied[Shape::kMaxDims] = {};
  for (flatbuffers::uoffset_t i = 0; i < dims->size(); ++i) {
    copied[i] = dims->Get(i);
    if (copied[i] == 0) throw refuse(msg::kSavedBadDimensions);
  }
  const Shape shape(std::span<const uint32_t>(copied, dims->size()));
  const uint64_t expected = product({shape.element_count(), element_size});
  if (saved.data()->size() != expected) throw refuse(msg::saved_data_size(saved.data()->size(), expected));
  return Dense::copy(saved.data()->data(), saved.data()->size(), type, shape, static_cast<Layout>(saved.layout()));
}

std::vector<std::shared_ptr<Layer>> read_inbounds(const fbm::Layer& saved, uint32_t index, const Model& model) {
  std::vector<std::shared_ptr<Layer>> inbounds;
  if (saved.inbounds()) {
    for (const uint32_t inbound : *saved.inbounds()) {
      if (inbound >= index) throw SavedLayerError(msg::saved_inbound_not_earlier(inbound));
      inbounds.push_back(model.get_layer(static_cast<int>(inbound)));
    }
  }
  if (index > 0 && inbounds.empty()) throw SavedLayerError(msg::kSavedLayerUnlinked);
  return inbounds;
}

std::shared_ptr<LearningParams> read_learning(const fbm::Learning& saved) {
  check_ascending(saved.values(), [](const fbm::LearningValue* value) { return value->key(); });
  LearningParams::Values values;
  if (saved.values()) {
    for (const fbm::LearningValue* value : *saved.values()) values.emplace(value->key()->str(), value->value());
  }
  return LearningParams::create(static_cast<LearningType>(saved.type()), values);
}

// Adds the saved layer `index` to `model`: its variables are set before it joins, so that
// joining keeps them instead of allocating zeros.
void read_layer(const fbm::Layer& saved, uint32_t index, Model& model) {
  check_names_are_utf8(saved);
  const auto params = read_params(saved);
  const auto layer = Layer::create(params.get(), saved.name()->str());
  if (saved.variables()) {
    check_ascending(saved.variables(), [](const fbm::Variable* variable) { return variable->name(); });
    for (const fbm::Variable* variable : *saved.variables()) {
      layer->variables().set(variable->name()->str(), read_variable(*variable));
    }
  }
  model.add(layer, read_inbounds(saved, index, model));
  if (saved.learning()) restore_learning(model, read_learning(*saved.learning()));
}

}  // namespace

std::unique_ptr<Model> Model::from_buffer(const uint8_t* data, size_t size) {
  if (size > kMaxModelBufferBytes) throw std::invalid_argument(msg::model_buffer_too_large(size, kMaxModelBufferBytes));
  if (data == nullptr || size == 0) throw std::invalid_argument(msg::kModelBufferUnreadable);
  // Fields are read in place, so the buffer must start at an address aligned for its widest
  // scalar (a double); a caller's buffer that does not is copied first.
  std::vector<uint8_t> aligned;
  if (reinterpret_cast<uintptr_t>(data) % alignof(double) != 0) {
    aligned.assign(data, data + size);
    data = aligned.data();
  }
  flatbuffers::Verifier verifier(data, size);
  if (!fbm::VerifyModelBuffer(verifier)) throw std::invalid_argument(msg::kModelBufferUnreadable);

  const fbm::Model* saved = fbm::GetModel(data);
  auto model = Model::create();
  if (!saved->layers()) return model;
  for (uint32_t index = 0; index < saved->layers()->size(); ++index) {
    const fbm::Layer& layer = *saved->layers()->Get(index);
    // Not quoted: a message holding it could not reach Python.
    if (!is_utf8(text(layer.name()))) throw std::invalid_argument(msg::saved_layer_name_not_utf8(index));
    try {
      read_layer(layer, index, *model);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& error) {
      throw std::invalid_argument(msg::invalid_saved_layer(index, layer.name()->str(), error.what()));
    }
  }
  return model;
}

}  // namespace ornix
