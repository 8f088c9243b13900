#include "ornix/layer_impl.h"

#include <algorithm>
#include <stdexcept>

#include "layer_build.h"
#include "layer_catalogue.h"
#include "layer_limits.h"
#include "layer_messages.h"

namespace ornix {

namespace {

const LayerTraits& traits_of_class(LayerType type, const LayerParams& params) {
  if (params.layer_type() != type) {
    throw std::invalid_argument(
        msg::params_of_other_type(static_cast<uint32_t>(params.layer_type()), static_cast<uint32_t>(type)));
  }
  return *find_layer_traits(type);
}

// A class that takes no activation or pooling stores no such key: it has none.
int32_t param_or_zero(const LayerParams& params, const char* key) { return params.has(key) ? params.get(key) : 0; }

// Bytes the variables take together, saturating at UINT64_MAX.
uint64_t variable_bytes(const std::vector<VariableSpec>& specs) {
  uint64_t total = 0;
  for (const VariableSpec& spec : specs) {
    const uint64_t bytes = product({spec.shape.element_count(), tensor_element_size(spec.type)});
    if (__builtin_add_overflow(total, bytes, &total)) return UINT64_MAX;
  }
  return total;
}

}  // namespace

LayerImpl::LayerImpl(LayerType type, const LayerParams& params, std::string name)
    : traits_(traits_of_class(type, params)),
      params_(complete_params(params, traits_.defaults)),
      name_(std::move(name)) {}

std::vector<Shape> LayerImpl::input_dimensions() const {
  if (built_.inputs.empty()) throw std::runtime_error(msg::kInputSizeNotSet);
  return built_.inputs;
}

Shape LayerImpl::output_dimensions() const {
  if (built_.output.empty()) return built_.output;
  if (built_.output.checked_element_count() == 0) throw std::runtime_error(msg::kOutputSizeNotSet);
  return built_.output;
}

bool LayerImpl::is_target_component(ComponentKind kind) const {
  return kind == traits_.target;
}

bool LayerImpl::splittable() const {
  return traits_.target == ComponentKind::CNP || traits_.target == ComponentKind::TNP_B;
}

std::vector<std::shared_ptr<Layer>> LayerImpl::inbound_layers() { return {inbounds_.begin(), inbounds_.end()}; }

std::vector<std::shared_ptr<const Layer>> LayerImpl::inbound_layers() const {
  return {inbounds_.begin(), inbounds_.end()};
}

std::vector<std::shared_ptr<Layer>> LayerImpl::outbound_layers() const {
  std::vector<std::shared_ptr<Layer>> layers;
  for (const auto& outbound : outbounds_) {
    if (auto layer = outbound.lock()) layers.push_back(std::move(layer));
  }
  return layers;
}

bool LayerImpl::has_activation() const { return param_or_zero(*params_, "activation") != 0; }

bool LayerImpl::activation_is(ActivationType type) const {
  return param_or_zero(*params_, "activation") == static_cast<int32_t>(type);
}

bool LayerImpl::pooling_is(PoolType type) const {
  return param_or_zero(*params_, "pool_type") == static_cast<int32_t>(type);
}

bool LayerImpl::is_separable() const { return traits_.separable; }
bool LayerImpl::is_channelwise() const { return traits_.channelwise; }
bool LayerImpl::is_input() const { return traits_.input; }
IpVersion LayerImpl::ip_version() const { return traits_.ip_version; }
uint32_t LayerImpl::min_inbounds() const { return traits_.min_inbounds; }
uint32_t LayerImpl::max_inbounds() const { return traits_.max_inbounds; }

void LayerImpl::attach(const std::vector<std::shared_ptr<LayerImpl>>& inbounds) {
  LayerInputs inputs;
  for (const auto& inbound : inbounds) {
    inputs.layers.push_back(inbound.get());
    inputs.shapes.push_back(inbound->output_dimensions());
  }
  LayerBuild next = build(inputs);
  // An output no tensor can hold could neither run nor be read by the layers after it.
  if (next.output.element_count() > Shape::kMaxElements) {
    throw std::invalid_argument(msg::output_too_large(name_, next.output.element_count(), Shape::kMaxElements));
  }
  const uint64_t bytes = variable_bytes(next.variables);
  if (bytes > kMaxLayerVariableBytes) {
    throw std::invalid_argument(msg::variables_too_large(name_, bytes, kMaxLayerVariableBytes));
  }
  variables_.declare(next.variables);

  unlink_inbounds();
  outbounds_.clear();
  inbounds_ = inbounds;
  for (const auto& inbound : inbounds_) inbound->outbounds_.push_back(weak_from_this());
  built_ = std::move(next);
  mapping_.reset();
  in_model_ = true;
}

void LayerImpl::detach() {
  unlink_inbounds();
  built_ = LayerBuild{};
  in_model_ = false;
}

void LayerImpl::unlink_inbounds() {
  for (const auto& inbound : inbounds_) {
    std::erase_if(inbound->outbounds_, [this](const std::weak_ptr<LayerImpl>& outbound) {
      const auto layer = outbound.lock();
      return !layer || layer.get() == this;
    });
  }
  inbounds_.clear();
}

}  // namespace ornix
