#pragma once

#include <memory>
#include <string>

#include "ornix/layer_impl.h"
#include "ornix/learning_params.h"

namespace ornix {

// Fully connected layers: every output neuron reads all width x height x channels inputs.
// Output (1, 1, neurons).

// Both take their neuron count from "units" only: parameters without it are refused when the
// layer is created (std::invalid_argument naming the layer).

// Generation 1, on an FNP. Keys "units", "weights_bits" (1, 2, 4), "activation", "act_bits".
// "weights" in reversed layout, dimensions (units, inputs): dimension 0 contiguous; element
// (neuron, input). "threshold" (int32, starting at 0) and "act_step" (float32, starting at 1),
// one per unit.
class FullyConnected : public LayerImpl {
 public:
  FullyConnected(const LayerParams& params, std::string name);

  // The learning parameters the layer refers to, or null; the layer does not keep them alive.
  virtual const LearningParams* learning() const;
  // learning() is not null.
  bool can_learn() const { return learning() != nullptr; }
  bool is_learning() const override { return can_learn(); }
  // Refers to `learning` (null: no learning) without owning it.
  void set_learning(const std::shared_ptr<const LearningParams>& learning) { learning_ = learning; }
  // Model side (compile): checks `learning` against the built layer (the rule's keys present;
  // num_weights a whole number from 1 to the inputs of a neuron, num_classes from 1 to the
  // units; std::invalid_argument otherwise), gives the layer the rule's variables
  // "threshold_learning" and "thswap" (int32, one per unit; zero-filled unless present) and
  // refers to `learning`.
  void start_learning(const std::shared_ptr<const LearningParams>& learning);
  // Model side (compile, after start_learning): every neuron that holds no connection (no
  // non-zero weight) gets num_weights connections of weight 1, at distinct inputs that depend
  // on the neuron's index alone (the same layer compiled twice holds the same weights); neurons
  // with connections keep them. The learning rule reads its first sample through them, and the
  // device's learning layer holds exactly num_weights connections per neuron.
  void connect_idle_neurons();

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;

 private:
  std::weak_ptr<const LearningParams> learning_;
};

// Generation 2, on an FNP. Keys "units", "weights_bits"
// (4: int4 weights, other int8), "activation", "output_bits". "weights" row-major (inputs,
// neurons); "input_shift" (uint8, one per input channel); "bias" (int8), "bias_shift" (uint8),
// "output_scales" (uint8), "output_shift" (int8), one per neuron. Scales start at 1, the others
// at 0.
class Dense1D : public LayerImpl {
 public:
  Dense1D(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

}  // namespace ornix
