#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ornix/layer.h"
#include "ornix/layer_geometry.h"

namespace ornix {

class LayerImpl;
struct LayerTraits;  // the fixed facts of a layer class (component kind, generation, link counts)

// What a layer builds from when it joins a model.
struct LayerInputs {
  std::vector<const LayerImpl*> layers;  // the inbound layers, in order
  std::vector<Shape> shapes;             // their output shapes, same order
};

// Everything a layer derives from its parameters and inputs.
struct LayerBuild {
  std::vector<Shape> inputs;  // (width, height, channels) per input
  Shape output;               // (width, height, channels); may hold a 0 dimension
  uint8_t input_bits = 0;
  uint8_t output_bits = 0;
  bool output_signed = false;
  uint64_t macs = 0;
  std::optional<ConvCalculatedParams> conv;
  std::optional<PoolingCalculatedParams> pool;
  std::vector<VariableSpec> variables;
};

// Common state and accessors of the engine's layer classes. A class passes its own LayerType
// and computes its build (`build`); everything else lives here.
class LayerImpl : public Layer, public std::enable_shared_from_this<LayerImpl> {
 public:
  std::string name() const override { return name_; }
  std::vector<Shape> input_dimensions() const override;
  Shape output_dimensions() const override;
  uint8_t input_bits() const override { return built_.input_bits; }
  uint8_t output_bits() const override { return built_.output_bits; }
  bool output_signed() const override { return built_.output_signed; }
  bool is_target_component(ComponentKind kind) const override;
  bool splittable() const override;
  const LayerParams* params() const override { return params_.get(); }
  Variables& variables() override { return variables_; }
  const Variables& variables() const override { return variables_; }
  std::vector<std::shared_ptr<Layer>> inbound_layers() override;
  std::vector<std::shared_ptr<const Layer>> inbound_layers() const override;
  std::vector<std::shared_ptr<Layer>> outbound_layers() const override;
  std::shared_ptr<Mapping> mapping() const override { return mapping_; }
  void set_mapping(std::shared_ptr<Mapping> mapping) override { mapping_ = std::move(mapping); }
  uint64_t macs() const override { return built_.macs; }
  bool has_activation() const override;
  bool activation_is(ActivationType type) const override;
  bool pooling_is(PoolType type) const override;
  bool is_separable() const override;
  bool is_channelwise() const override;
  bool is_input() const override;
  bool is_learning() const override { return false; }
  IpVersion ip_version() const override;

  // Model side: only a Model calls these.
  //
  // Inbound layer counts the class accepts.
  uint32_t min_inbounds() const;
  uint32_t max_inbounds() const;
  // Whether the layer belongs to a live model.
  bool in_model() const { return in_model_; }
  // Changes with every variable set on the layer (VariablesImpl::revision).
  uint64_t variables_revision() const { return variables_.revision(); }
  // Joins a model after `inbounds` (layers of that model, in order): builds, gives the layer
  // its variables, links it both ways and drops any mapping (the layer starts unmapped).
  // std::invalid_argument naming the layer when its output would hold more than
  // Shape::kMaxElements values or its variables more than kMaxLayerVariableBytes. On an exception
  // nothing has changed.
  void attach(const std::vector<std::shared_ptr<LayerImpl>>& inbounds);
  // Leaves its model: unlinks from its inbound layers and drops the built state; parameters,
  // variables and mapping stay.
  void detach();
  // Its model is gone: links and built state stay, and the layer may join another model.
  void release() { in_model_ = false; }

 protected:
  // std::invalid_argument when params are not of `type`.
  LayerImpl(LayerType type, const LayerParams& params, std::string name);

  // The build for these inputs; throws std::invalid_argument on parameters or inputs it
  // cannot build from.
  virtual LayerBuild build(const LayerInputs& inputs) const = 0;

  const LayerBuild& built() const { return built_; }
  VariablesImpl& own_variables() { return variables_; }

 private:
  void unlink_inbounds();

  const LayerTraits& traits_;
  std::unique_ptr<LayerParams> params_;
  std::string name_;
  VariablesImpl variables_;
  std::shared_ptr<Mapping> mapping_;
  std::vector<std::shared_ptr<LayerImpl>> inbounds_;
  std::vector<std::weak_ptr<LayerImpl>> outbounds_;  // weak: inbound layers keep no cycle
  LayerBuild built_;
  bool in_model_ = false;
};

}  // namespace ornix
