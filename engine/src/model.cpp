#include "ornix/model.h"

#include <algorithm>
#include <stdexcept>

#include "layer_catalogue.h"
#include "layer_messages.h"
#include "learning_messages.h"
#include "model_buffer.h"
#include "model_inputs.h"
#include "model_messages.h"
#include "model_run.h"
#include "run_outputs.h"
#include "ornix/layer_impl.h"
#include "ornix/layers/dense.h"
#include "software_sequence.h"

namespace ornix {

namespace {

std::string inbound_range(uint32_t min, uint32_t max) {
  if (max == kAnyInboundCount) return "at least " + std::to_string(min);
  if (min == max) return "exactly " + std::to_string(min);
  return "between " + std::to_string(min) + " and " + std::to_string(max);
}

// What an inference entry point asks for.
enum class Run { Forward, Predict, Fit };

class ModelImpl final : public Model {
 public:
  ~ModelImpl() override {
    if (learning_layer_) learning_layer_->set_learning(nullptr);
    for (const auto& layer : layers_) layer->release();
  }

  void add(std::shared_ptr<Layer> layer, const std::vector<std::shared_ptr<Layer>>& inbounds) override {
    if (!layer) throw std::invalid_argument(msg::kNullLayer);
    const auto impl = std::dynamic_pointer_cast<LayerImpl>(layer);
    if (!impl) throw std::invalid_argument(msg::foreign_layer(layer->name()));
    if (impl->in_model()) throw std::invalid_argument(msg::layer_in_other_model(impl->name()));
    if (find(impl->name())) throw std::invalid_argument(msg::duplicate_layer_name(impl->name()));
    if (layers_.empty() && !impl->is_input()) throw std::invalid_argument(msg::not_an_input_layer(impl->name()));
    if (!layers_.empty() && impl->max_inbounds() == 0) {
      throw std::invalid_argument(msg::input_layer_not_first(impl->name()));
    }
    const auto links = resolve(*impl, inbounds);
    if (links.size() < impl->min_inbounds() || links.size() > impl->max_inbounds()) {
      throw std::invalid_argument(
          msg::inbound_count(impl->name(), inbound_range(impl->min_inbounds(), impl->max_inbounds()), links.size()));
    }
    layers_.reserve(layers_.size() + 1);  // nothing left to fail once the layer is attached
    impl->attach(links);
    layers_.push_back(impl);
    ++edits_;
  }

  void pop_layer() override {
    if (layers_.empty()) throw std::runtime_error(msg::kEmptyModel);
    if (layers_.back() == learning_layer_) stop_learning();
    layers_.back()->detach();
    layers_.pop_back();
    ++edits_;
  }

  std::vector<uint8_t> to_buffer() const override { return write_model_buffer(*this); }

  void compile(std::shared_ptr<LearningParams> learning) override {
    select_learning(std::move(learning));
    learning_layer_->connect_idle_neurons();
  }

  // compile without connecting idle neurons: a saved layer holds its weights as saved.
  void select_learning(std::shared_ptr<LearningParams> learning) {
    if (!learning) throw std::invalid_argument(msg::kNullLearningParams);
    const std::shared_ptr<LayerImpl>& last = nonempty().back();
    const auto layer = std::dynamic_pointer_cast<FullyConnected>(last);
    if (!layer) throw std::runtime_error(msg::cannot_learn(last->name()));
    layer->start_learning(learning);
    if (learning_layer_ && learning_layer_ != layer) learning_layer_->set_learning(nullptr);
    learning_layer_ = layer;
    learning_ = std::move(learning);
    ++edits_;
  }

  std::shared_ptr<LearningParams> learning() const override { return learning_; }

  std::vector<std::shared_ptr<Layer>> layers() const override { return {layers_.begin(), layers_.end()}; }
  size_t layer_count() const override { return layers_.size(); }

  std::shared_ptr<Layer> get_layer(int index) const override {
    if (index < 0 || static_cast<size_t>(index) >= layers_.size()) {
      throw std::out_of_range(msg::layer_index_out_of_range(index, layers_.size()));
    }
    return layers_[static_cast<size_t>(index)];
  }

  std::shared_ptr<Layer> get_layer(const std::string& name) const override {
    auto layer = find(name);
    if (!layer) throw std::invalid_argument(msg::no_layer_named(name));
    return layer;
  }

  Shape input_shape() const override { return nonempty().front()->input_dimensions().front(); }
  Shape output_shape() const override { return nonempty().back()->output_dimensions(); }

  bool input_signed() const override {
    return !layers_.empty() && layers_.front()->params()->layer_type() == LayerType::InputData &&
           layers_.front()->output_signed();
  }

  IpVersion ip_version() const override {
    IpVersion version = IpVersion::none;
    for (const auto& layer : layers_) {
      if (layer->ip_version() == IpVersion::v1) return IpVersion::v1;
      if (layer->ip_version() == IpVersion::v2) version = IpVersion::v2;
    }
    return version;
  }

  uint64_t macs() const override {
    uint64_t total = 0;
    for (const auto& layer : layers_) {
      if (__builtin_add_overflow(total, layer->macs(), &total)) return UINT64_MAX;
    }
    return total;
  }

  void map(std::shared_ptr<Device> device, bool hw_only, std::shared_ptr<MapConstraints> constraints) override {
    const HardwareMapper mapper = registered_hardware_mapper();
    if (!mapper) throw std::runtime_error(msg::kNoHardwareBackend);
    if (!device) throw std::invalid_argument(msg::kNullDevice);
    std::vector<std::shared_ptr<Layer>> layers;
    for (const auto& layer : nonempty()) {
      if (layer->params()->layer_type() != LayerType::InputData) layers.push_back(layer);
    }
    forget_mapping();
    // What the mapping describes: edits made while the back end runs (the constraints' hooks run
    // the caller's code) leave it stale.
    const uint64_t edits = edits_;
    std::vector<uint64_t> revisions = variables_revisions();
    std::vector<std::shared_ptr<Sequence>> sequences;
    try {
      mapper(layers, sequences, MapRequest{device, std::move(constraints), hw_only});
    } catch (...) {
      forget_mapping();  // records of the attempts that got nowhere
      throw;
    }
    // The layers left out may hold the records of an attempt that failed.
    for (const auto& layer : layers) layer->set_mapping(nullptr);
    device_ = std::move(device);
    sequences_ = std::move(sequences);
    mapped_edits_ = edits;
    mapped_revisions_ = std::move(revisions);
    unmapped_ = std::move(layers);
  }

  std::shared_ptr<Dense> forward(std::shared_ptr<const Dense> inputs, uint32_t batch_size) override {
    return run(Run::Forward, inputs, nullptr, batch_size);
  }

  std::shared_ptr<Dense> predict(std::shared_ptr<const Dense> inputs, uint32_t batch_size) override {
    return run(Run::Predict, inputs, nullptr, batch_size);
  }

  std::shared_ptr<Dense> fit(std::shared_ptr<const Dense> inputs, std::vector<int32_t> labels,
                             uint32_t batch_size) override {
    return run(Run::Fit, inputs, &labels, batch_size);
  }

  std::shared_ptr<Device> device() const override { return device_; }
  std::vector<std::shared_ptr<Sequence>> sequences() const override {
    if (mapping_stale()) throw std::runtime_error(msg::kMappingStale);
    return sequences_;
  }

 private:
  std::shared_ptr<LayerImpl> find(const std::string& name) const {
    const auto found = std::find_if(layers_.begin(), layers_.end(), [&](const auto& l) { return l->name() == name; });
    return found == layers_.end() ? nullptr : *found;
  }

  const std::vector<std::shared_ptr<LayerImpl>>& nonempty() const {
    if (layers_.empty()) throw std::runtime_error(msg::kEmptyModel);
    return layers_;
  }

  // The model's own objects for the requested inbound layers; the last layer when none is given.
  std::vector<std::shared_ptr<LayerImpl>> resolve(const LayerImpl& layer,
                                                  const std::vector<std::shared_ptr<Layer>>& inbounds) const {
    if (inbounds.empty()) {
      if (layers_.empty()) return {};
      return {layers_.back()};
    }
    std::vector<std::shared_ptr<LayerImpl>> links;
    for (const auto& inbound : inbounds) {
      if (!inbound) throw std::invalid_argument(msg::null_inbound(layer.name()));
      const auto found = std::find_if(layers_.begin(), layers_.end(),
                                      [&](const auto& candidate) { return candidate.get() == inbound.get(); });
      if (found == layers_.end()) throw std::invalid_argument(msg::inbound_not_in_model(inbound->name(), layer.name()));
      links.push_back(*found);
    }
    return links;
  }

  void stop_learning() {
    learning_layer_->set_learning(nullptr);
    learning_layer_.reset();
    learning_.reset();
  }

  // The inference core: checks the request, then runs the samples on the device when the model
  // is mapped and in software otherwise.
  std::shared_ptr<Dense> run(Run kind, const std::shared_ptr<const Dense>& inputs, const std::vector<int32_t>* labels,
                             uint32_t batch_size) {
    if (!inputs) throw std::invalid_argument(msg::kNullInputs);
    check_model_inputs(*inputs, input_shape(), input_signed());
    if (kind == Run::Predict && layers_.back()->has_activation()) {
      throw std::runtime_error(msg::predict_with_activation(layers_.back()->name()));
    }
    if (kind == Run::Fit) {
      if (!learning_) throw std::runtime_error(msg::kFitNotCompiled);
      check_labels(labels->size(), inputs->shape()[0]);
    }
    if (sequences_.empty()) return run_in_software(kind, *inputs, labels);
    if (!unmapped_.empty()) throw std::runtime_error(msg::layer_not_mapped(unmapped_.front()->name()));
    if (mapping_stale()) throw std::runtime_error(msg::kMappingStale);
    check_input_values(*inputs, *layers_.front());
    const Layer& last = *layers_.back();
    const auto outputs = run_on_device(*inputs, labels, batch_size);
    const auto values = run_output(last, *outputs);
    return kind == Run::Predict ? predicted_values(last, *values) : values;
  }

  std::shared_ptr<Dense> run_on_device(const Dense& inputs, const std::vector<int32_t>* labels, uint32_t batch_size) {
    if (!labels) return run_sequences(sequences_, inputs, labels, batch_size);
    // Learning reads the learned variables back from the device: the device's own values, which
    // leave the mapping current, also when the run fails after some of them.
    try {
      auto outputs = run_sequences(sequences_, inputs, labels, batch_size);
      mapped_revisions_ = variables_revisions();
      return outputs;
    } catch (...) {
      mapped_revisions_ = variables_revisions();
      throw;
    }
  }

  // The software path of an unmapped model (software_sequence.h): the samples run one at a time,
  // whatever the batch size.
  std::shared_ptr<Dense> run_in_software(Run kind, const Dense& inputs, const std::vector<int32_t>* labels) {
    const SoftwareMode mode =
        kind == Run::Fit ? SoftwareMode::Fit : kind == Run::Predict ? SoftwareMode::Predict : SoftwareMode::Forward;
    return run_software(layers_, inputs, mode, labels ? *labels : std::vector<int32_t>{});
  }

  // The model holds sequences, and was edited or had a variable set since it was mapped (the
  // learned values a fit reads back excepted).
  bool mapping_stale() const {
    return !sequences_.empty() && (edits_ != mapped_edits_ || variables_revisions() != mapped_revisions_);
  }

  // Leaves the model unmapped: no sequences, no device, no layer holding a mapping.
  void forget_mapping() {
    device_.reset();
    sequences_.clear();
    unmapped_.clear();
    for (const auto& layer : layers_) layer->set_mapping(nullptr);
  }

  // One revision per layer, in model order: a variable set since makes the mapping stale.
  std::vector<uint64_t> variables_revisions() const {
    std::vector<uint64_t> revisions;
    revisions.reserve(layers_.size());
    for (const auto& layer : layers_) revisions.push_back(layer->variables_revision());
    return revisions;
  }

  std::vector<std::shared_ptr<LayerImpl>> layers_;
  // Set by compile: the parameters, owned here, and the layer that learns with them.
  std::shared_ptr<LearningParams> learning_;
  std::shared_ptr<FullyConnected> learning_layer_;
  // Grows with every add, pop_layer and compile.
  uint64_t edits_ = 0;
  // Set by mapping: the device, the sequences in model order, the edit count and the revisions
  // of the model's variables then, and the layers it left unmapped.
  std::shared_ptr<Device> device_;
  std::vector<std::shared_ptr<Sequence>> sequences_;
  uint64_t mapped_edits_ = 0;
  std::vector<uint64_t> mapped_revisions_;
  std::vector<std::shared_ptr<Layer>> unmapped_;
};

}  // namespace

std::unique_ptr<Model> Model::create() { return std::make_unique<ModelImpl>(); }

void restore_learning(Model& model, std::shared_ptr<LearningParams> learning) {
  dynamic_cast<ModelImpl&>(model).select_learning(std::move(learning));
}

}  // namespace ornix
