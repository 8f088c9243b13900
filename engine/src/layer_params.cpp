#include "ornix/layer_params.h"

#include <stdexcept>
#include <utility>

#include "layer_messages.h"
#include "named_values.h"
#include "ornix/layer.h"

namespace ornix {

namespace {

class LayerParamsImpl final : public LayerParams {
 public:
  LayerParamsImpl(LayerType type, Values values) : type_(type), values_(std::move(values)) {}

  int32_t get(const std::string& key) const override { return value_of(values_, key); }
  bool has(const std::string& key) const override { return values_.contains(key); }
  std::vector<std::string> keys() const override { return names_of(values_); }
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

int32_t param_of(const Layer& layer, const std::string& key) {
  const LayerParams& params = *layer.params();
  if (!params.has(key)) throw std::invalid_argument(msg::missing_param(layer.name(), key));
  return params.get(key);
}

}  // namespace ornix
