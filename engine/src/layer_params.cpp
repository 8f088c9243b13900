#include "ornix/layer_params.h"

#include <stdexcept>

#include "layer_messages.h"

namespace ornix {

namespace {

class LayerParamsImpl final : public LayerParams {
 public:
  LayerParamsImpl(LayerType type, Values values) : type_(type), values_(std::move(values)) {}

  int32_t get(const std::string& key) const override {
    const auto found = values_.find(key);
    if (found == values_.end()) throw std::invalid_argument(msg::key_not_found(key));
    return found->second;
  }
  bool has(const std::string& key) const override { return values_.contains(key); }
  std::vector<std::string> keys() const override {
    std::vector<std::string> keys;
    keys.reserve(values_.size());
    for (const auto& entry : values_) keys.push_back(entry.first);
    return keys;
  }
  LayerType layer_type() const override { return type_; }

 private:
  LayerType type_;
  Values values_;
};

}  // namespace

std::unique_ptr<LayerParams> LayerParams::create(LayerType type, const Values& values) {
  return std::make_unique<LayerParamsImpl>(type, values);
}

std::unique_ptr<LayerParams> LayerParams::clone(const LayerParams* params) {
  if (params == nullptr) throw std::invalid_argument(msg::kNullLayerParams);
  Values values;
  for (const std::string& key : params->keys()) values.emplace(key, params->get(key));
  return create(params->layer_type(), values);
}

}  // namespace ornix
