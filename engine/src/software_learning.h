#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/layers/dense.h"
#include "ornix/learning_params.h"
#include "software_stages.h"
#include "software_steps.h"

namespace ornix::software {

// A FullyConnected layer with learning parameters (LearningType Unsupervised), run in software.
// It computes its outputs like any FullyConnected layer, from its current weights; while a fit
// runs it then learns from each sample with this competitive rule of connections:
//
// - Connections: a weight is a connection when it is not 0. Learning writes 0 and 1 only, and
//   keeps at most num_weights (N) connections per neuron.
// - Pool: with a label k, the neurons of class k, that is neurons k x g to (k + 1) x g - 1 for
//   g = units / num_classes; a label below 0 or from num_classes on is not learned. Without a
//   label, every neuron.
// - Winner: the pool's neuron of highest potential (the lowest index among equals).
// - Learning of the winner, with its plasticity s (variable "thswap", swaps per step): it
//   connects the most active inputs it is not connected to (the highest value first, then the
//   lowest index): first, while it holds fewer than N connections, inputs above 0; then each
//   by giving up its least active connection, while the new input is the more active; s
//   connections change at most. Then s = max(1, ceil(N x min_plasticity),
//   s - ceil(round(N x initial_plasticity) x plasticity_decay)).
// - Competition: with learning_competition c > 0, the pool's runner-up (the next highest
//   potential, when above 0) unlearns the sample the same way in reverse: up to round(c x its s)
//   of its most active connections move to its least active unconnected inputs, while those are
//   the less active.
// - "thswap" (int32, one per neuron) holds s; a neuron whose s is 0 or less (a layer just
//   compiled) or absent starts at max(1, round(N x initial_plasticity)).
//
// Parameters must satisfy: 1 <= num_weights <= inputs per neuron, num_classes >= 1 dividing the
// units, 0 < initial_plasticity <= 1, 0 <= min_plasticity <= initial_plasticity,
// 0 <= learning_competition <= 1 and 0 <= plasticity_decay <= 1 (std::invalid_argument).
class LearningStep final : public SoftwareStep {
 public:
  LearningStep(FullyConnected& layer, const LearningParams& params);

  // Whether the next samples learn, and the label of the next one (null: none).
  void set_learning(bool learning, const int32_t* label) {
    learning_ = learning;
    label_ = label;
  }
  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override;
  // Stores the learned weights and plasticities in the layer's variables.
  void store() const;

 private:
  void learn(const int32_t* x, const int32_t* potentials);
  void move_connections(uint32_t neuron, const int32_t* x, uint32_t budget, bool toward);

  FullyConnected& layer_;
  V1Output output_;
  uint32_t inputs_ = 0, units_ = 0, num_weights_ = 0, per_class_ = 0, num_classes_ = 0;
  uint32_t swap_floor_ = 0, swap_drop_ = 0;
  double competition_ = 0;
  std::vector<int8_t> weights_;  // (inputs, units) row-major: weight of input i for neuron n at i x units + n
  std::vector<int32_t> swaps_;   // per neuron
  std::vector<uint32_t> order_;  // scratch: inputs to connect, best first
  std::vector<uint32_t> drops_;  // scratch: connections to give up, first to go first
  bool learning_ = false;
  const int32_t* label_ = nullptr;
};

}  // namespace ornix::software
