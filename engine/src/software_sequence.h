#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ornix/layer_impl.h"
#include "ornix/sequence.h"
#include "ornix/tensor.h"
#include "software_learning.h"
#include "software_steps.h"

namespace ornix {

// A model's layers run on the host: the sequence an unmapped model runs through (backend
// Software, no device program). Each sample runs through every layer in model order; the
// arithmetic is that of ornix/ops (ornix/ops/ops.h) as each layer class composes it
// (software_steps.cpp). The layers' variables are read when the sequence is made; the temporal
// layers' frame buffers start at zero then and carry over from sample to sample, so a sequence
// serves one run of samples in time order.
//
// Outputs: the last layer's values of its declared output shape, as run_output types them.
class SoftwareSequence final : public ForwardableSequence {
 public:
  // `layers` in model order, the first one taking the samples. std::runtime_error naming a
  // layer that cannot run in software.
  explicit SoftwareSequence(const std::vector<std::shared_ptr<LayerImpl>>& layers);

  const std::vector<std::shared_ptr<Pass>>& passes() const override { return passes_; }
  BackendType backend() const override { return BackendType::Software; }
  Bytes program() const override { return {}; }
  ProgramParts program_parts() const override { return {}; }
  std::string name() const override { return "software"; }

  // One output per sample. With labels, the last layer (a FullyConnected layer with learning
  // parameters) learns from each sample after computing its output (software_learning.h); the
  // labels then hold none (unlabelled learning), one for every sample, or one per sample.
  std::vector<std::shared_ptr<Tensor>> forward_samples(const std::vector<std::shared_ptr<const Tensor>>& inputs,
                                                       std::vector<int32_t>* labels) override;

 private:
  std::shared_ptr<Dense> run_sample(const Tensor& sample);

  std::vector<std::shared_ptr<LayerImpl>> layers_;
  std::vector<std::shared_ptr<Pass>> passes_;
  std::vector<std::unique_ptr<software::SoftwareStep>> steps_;
  std::vector<std::vector<size_t>> inbounds_;  // per layer, the positions of its inbound layers
  software::LearningStep* learning_ = nullptr;  // the last step when the last layer learns
};

}  // namespace ornix

namespace ornix {

// What a software run returns.
enum class SoftwareMode {
  Forward,  // the outputs
  Predict,  // the outputs as predicted_values
  Fit,      // the outputs, the last layer learning from each sample with `labels`
};

// Runs the samples of `inputs` (dimension 0 counts them) in order through a new
// SoftwareSequence of `layers` and stacks the outputs along a new first dimension. The result
// does not depend on `batch_size`: samples run one at a time, the temporal layers' state carrying
// over the whole run. Errors name the layer that refused the sample.
std::shared_ptr<Dense> run_software(const std::vector<std::shared_ptr<LayerImpl>>& layers, const Dense& inputs,
                                    SoftwareMode mode, std::vector<int32_t> labels = {});

}  // namespace ornix
