#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ornix/device.h"
#include "ornix/ip_version.h"
#include "ornix/layer.h"
#include "ornix/learning_params.h"
#include "ornix/sequence.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix {

class MapConstraints;  // the hardware back end's mapping constraints

// The largest saved model, in bytes: Model::from_buffer reads and Model::to_buffer writes no more.
inline constexpr uint64_t kMaxModelBufferBytes = 0x7FFFFFFF;

// A neural network: layers in the order they were added, each linked to its inbound layers.
// The first layer is an input layer (Layer::is_input); layer names are unique. Layers joining a
// model are built (geometry, bit widths, variables) from their parameters and inputs.
//
// Mapping onto a device fills sequences() and device(); until a model is mapped they are empty.
// A mapped model runs on its device; an unmapped one in software. Any edit after mapping (add,
// pop_layer, compile) and any variable set on its layers makes the mapping stale until the model
// is mapped again; a refused edit changes nothing.
class Model {
 public:
  static std::unique_ptr<Model> create();
  // A model saved by to_buffer, from `size` bytes at `data` (not kept). The bytes are verified
  // before use: a truncated or corrupt buffer, or one holding layers, links, variables or
  // learning parameters the engine refuses, throws std::invalid_argument naming the problem.
  // The model is not mapped.
  static std::unique_ptr<Model> from_buffer(const uint8_t* data, size_t size);

  virtual ~Model() = default;

  // Adds a layer made by Layer::create after `inbounds`, which must be layers of this model;
  // with none, a layer that is not the first follows the last layer. std::invalid_argument
  // when the layer or its links are refused (then nothing changes).
  virtual void add(std::shared_ptr<Layer> layer, const std::vector<std::shared_ptr<Layer>>& inbounds = {}) = 0;
  // Removes the last layer (std::runtime_error on an empty model); the layer keeps its
  // parameters, variables and mapping and may be added again (it joins unmapped). Popping the
  // compiled layer ends its learning and clears learning().
  virtual void pop_layer() = 0;

  // The saved model (engine/model.fbs): each layer's type, name, parameters, inbound links and
  // variables, and the learning parameters of the compiled layer; not the mapping. Saving a
  // model read by from_buffer gives back the bytes it was read from. std::runtime_error when
  // the model would not fit the format's 2 GiB.
  virtual std::vector<uint8_t> to_buffer() const = 0;

  // Makes the last layer learn with `learning`: it must be a FullyConnected layer, which checks
  // the values and takes the rule's variables (FullyConnected::start_learning), and whose
  // neurons without any connection get their first ones (FullyConnected::connect_idle_neurons).
  // The model owns the parameters; a layer compiled before stops learning. std::invalid_argument
  // for null or refused parameters, std::runtime_error for an empty model or another kind of
  // last layer.
  virtual void compile(std::shared_ptr<LearningParams> learning) = 0;
  // The parameters of the last compile; null before it and after the compiled layer is popped.
  virtual std::shared_ptr<LearningParams> learning() const = 0;

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
  // (hardware_mapping.h); null constraints select the back end's defaults for the device. The
  // model first forgets any earlier mapping (sequences, device, and every layer's mapping); on
  // success it keeps the new sequences and the device, and only the layers they run hold a
  // mapping; on failure it is left unmapped. The mapping describes the model as it was when the
  // map began: an edit or a variable set while the back end runs (the constraints' hooks may run
  // the caller's code) leaves it stale. std::runtime_error when no back end is registered.
  virtual void map(std::shared_ptr<Device> device, bool hw_only, std::shared_ptr<MapConstraints> constraints) = 0;

  // Inference. `inputs` holds N samples, row-major (N, width, height, channels) with the sample
  // shape of input_shape(), of type uint8, or int8 or int16 for a model that takes signed inputs;
  // any other tensor throws std::invalid_argument naming what the model takes and what came,
  // before anything runs. `batch_size` samples run at a time (0: all at once). The result
  // stacks one output per sample along a new first dimension.
  //
  // A mapped model runs the samples through its sequences in order (on a hardware device;
  // std::runtime_error when a layer was left unmapped or the mapping is stale), and returns what
  // software returns for the same last layer: its element type, and for predict the same shift
  // and scale of the device's values. Like software, it refuses a value that the model's input
  // bits cannot hold (std::invalid_argument naming it), before any sample reaches the device.
  // An unmapped model runs in software, one sample at a time whatever `batch_size`, with the
  // arithmetic of the engine's software operations (ornix/ops/ops.h).
  virtual std::shared_ptr<Dense> forward(std::shared_ptr<const Dense> inputs, uint32_t batch_size) = 0;
  // forward for a model whose last layer has no activation; std::runtime_error otherwise.
  virtual std::shared_ptr<Dense> predict(std::shared_ptr<const Dense> inputs, uint32_t batch_size) = 0;
  // forward with learning on the compiled layer (std::runtime_error when the model is not
  // compiled). `labels`: none, one for all samples or one per sample (else
  // std::invalid_argument). A mapped model reads the learned variables back after each batch.
  virtual std::shared_ptr<Dense> fit(std::shared_ptr<const Dense> inputs, std::vector<int32_t> labels,
                                     uint32_t batch_size) = 0;

  virtual std::shared_ptr<Device> device() const = 0;
  // The sequences of the last successful map, in model order. std::runtime_error while the
  // mapping is stale (the model was edited or a variable set since mapping, as forward refuses):
  // their programs hold what the model no longer is.
  virtual std::vector<std::shared_ptr<Sequence>> sequences() const = 0;
};

}  // namespace ornix
