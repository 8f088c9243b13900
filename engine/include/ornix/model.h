#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ornix/device.h"
#include "ornix/ip_version.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix {

class MapConstraints;  // the hardware back end's mapping constraints

// A neural network: layers in the order they were added, each linked to its inbound layers.
// The first layer is an input layer (Layer::is_input); layer names are unique. Layers joining a
// model are built (geometry, bit widths, variables) from their parameters and inputs.
//
// Mapping onto a device fills sequences() and device(); until a model is mapped they are empty,
// and the model runs in software on the host.
class Model {
 public:
  static std::unique_ptr<Model> create();

  virtual ~Model() = default;

  // Adds a layer made by Layer::create after `inbounds`, which must be layers of this model;
  // with none, a layer that is not the first follows the last layer. std::invalid_argument
  // when the layer or its links are refused (then nothing changes).
  virtual void add(std::shared_ptr<Layer> layer, const std::vector<std::shared_ptr<Layer>>& inbounds = {}) = 0;
  // Removes the last layer (std::runtime_error on an empty model); the layer keeps its
  // parameters, variables and mapping and may be added again.
  virtual void pop_layer() = 0;

  virtual std::vector<std::shared_ptr<Layer>> layers() const = 0;
  virtual size_t layer_count() const = 0;
  // std::out_of_range for a negative index or one past the last layer.
  virtual std::shared_ptr<Layer> get_layer(int index) const = 0;
  // std::invalid_argument when no layer has that name.
  virtual std::shared_ptr<Layer> get_layer(const std::string& name) const = 0;

  // (width, height, channels) of the first layer's input and of the last layer's output;
  // std::runtime_error on an empty model.
  virtual Shape input_shape() const = 0;
  virtual Shape output_shape() const = 0;
  // The InputData layer's "input_signed"; false for other models.
  virtual bool input_signed() const = 0;
  // v1 when a layer is of generation 1, else v2 when one is of generation 2, else none.
  virtual IpVersion ip_version() const = 0;
  // Sum of the layers' multiply-accumulate counts.
  virtual uint64_t macs() const = 0;

  // Maps the layers after the input data layer onto `device` through the hardware back end
  // (hardware_mapping.h); null constraints select the back end's defaults for the device. On
  // success the model keeps the new sequences and the device, replacing earlier ones; on
  // failure it keeps what it had. std::runtime_error when no back end is registered.
  virtual void map(std::shared_ptr<Device> device, bool hw_only, std::shared_ptr<MapConstraints> constraints) = 0;
  // Runs the samples of `inputs` (dimension 0 counts them) and stacks the outputs. An unmapped
  // model runs in software (software_sequence.h; `batch_size` does not change its results); a
  // mapped one runs through every sequence in order, `batch_size` samples at a time (0: all at
  // once), and std::runtime_error when a layer is not mapped on the device.
  virtual std::shared_ptr<Dense> forward(std::shared_ptr<const Dense> inputs, uint32_t batch_size) = 0;

  virtual std::shared_ptr<Device> device() const = 0;
  virtual std::vector<std::shared_ptr<Sequence>> sequences() const = 0;
};

}  // namespace ornix
