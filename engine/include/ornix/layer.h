#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ornix/component_kind.h"
#include "ornix/ip_version.h"
#include "ornix/layer_params.h"
#include "ornix/layer_types.h"
#include "ornix/shape.h"
#include "ornix/variables.h"

namespace ornix::hw {
struct Component;  // defined by the hardware back end; the engine only holds lists of them
}  // namespace ornix::hw

namespace ornix {

// One layer of a model. Layers are held by shared ownership and identified by object address.
// A layer gets its inputs, geometry, bit widths and variables when it joins a model (Model::add),
// which it joins unmapped, and loses its links when the model pops it.
class Layer {
 public:
  // Where a mapped layer sits on the device. The back end attaches its own derived record
  // (set_mapping) and reads it back with the same dynamic type.
  struct Mapping {
    virtual ~Mapping() = default;
    // The components the layer occupies, shared with the back end's other records.
    std::shared_ptr<std::vector<hw::Component>> nps;
  };

  // A new layer of the class of params' LayerType, holding its own copy of the parameters.
  // std::invalid_argument for null params and for a type no layer class serves.
  static std::shared_ptr<Layer> create(const LayerParams* params, const std::string& name);

  virtual ~Layer() = default;

  virtual std::string name() const = 0;
  // One shape (width, height, channels) per input, in inbound order; std::runtime_error
  // "Cannot get input size before it is set." while there is none.
  virtual std::vector<Shape> input_dimensions() const = 0;
  // (width, height, channels). A shape with no dimension (a layer not in a model) comes back as
  // it is; an element count of 0 throws std::runtime_error "Cannot get output size before it is
  // set."; one above Shape::kMaxElements panics (a model refuses such a layer when it joins).
  virtual Shape output_dimensions() const = 0;
  virtual uint8_t input_bits() const = 0;
  virtual uint8_t output_bits() const = 0;
  virtual bool output_signed() const = 0;

  // Whether the layer is mapped on a component of that kind; None answers for the layers that
  // run on no component (the input data, ExtractToken and Dequantizer layers).
  virtual bool is_target_component(ComponentKind kind) const = 0;
  // Whether its work can be spread over several NPs (the CNP and TNP-B layers).
  virtual bool splittable() const = 0;
  // Owned by the layer; lives as long as the layer.
  virtual const LayerParams* params() const = 0;
  // The layer's own variables object.
  virtual Variables& variables() = 0;
  virtual const Variables& variables() const = 0;
  // Copies of the link lists, in the order the model made them.
  virtual std::vector<std::shared_ptr<Layer>> inbound_layers() = 0;
  virtual std::vector<std::shared_ptr<const Layer>> inbound_layers() const = 0;
  virtual std::vector<std::shared_ptr<Layer>> outbound_layers() const = 0;

  // A copy of the mapping handle; empty while the layer is not mapped.
  virtual std::shared_ptr<Mapping> mapping() const = 0;
  // Replaces the mapping, releasing the layer's share of the old one.
  virtual void set_mapping(std::shared_ptr<Mapping> mapping) = 0;

  // Multiply-accumulate operations of one frame; 0 until the layer joins a model.
  virtual uint64_t macs() const = 0;

  // "activation" is present and not NoActivation.
  virtual bool has_activation() const = 0;
  // The layer's "activation" is `type` (a layer without the key has NoActivation).
  virtual bool activation_is(ActivationType type) const = 0;
  // The layer's "pool_type" is `type` (a layer without the key has NoPooling).
  virtual bool pooling_is(PoolType type) const = 0;
  // A convolution split into a per-channel part (depthwise layers, SeparableConvolutional).
  virtual bool is_separable() const = 0;
  // Each output channel reads only its own input channel (the depthwise layers).
  virtual bool is_channelwise() const = 0;
  // The layer brings the model's input in: InputData, and InputConvolutional (which carries
  // its input geometry in its parameters). Only such a layer may start a model.
  virtual bool is_input() const = 0;
  // The layer learns on chip (a FullyConnected layer with live learning parameters).
  virtual bool is_learning() const = 0;
  // The processor generation of the layer's type: v1 for InputConvolutional, FullyConnected,
  // Convolutional and SeparableConvolutional, none for InputData, v2 for the others.
  virtual IpVersion ip_version() const = 0;
};

// The layer's parameter `key`; std::invalid_argument "Layer <name>: parameter <key> is
// required." when the layer has none. Layers created by Layer::create hold every key their
// class reads, completed with its defaults.
int32_t param_of(const Layer& layer, const std::string& key);

}  // namespace ornix
