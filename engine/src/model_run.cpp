#include "model_run.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "layer_messages.h"

namespace ornix {

namespace {

using Samples = std::vector<std::shared_ptr<const Tensor>>;

bool holds_learning_layer(const Sequence& sequence) {
  const auto learns = [](const std::shared_ptr<Layer>& layer) { return layer->is_learning(); };
  return std::any_of(sequence.passes().begin(), sequence.passes().end(),
                     [&](const auto& pass) { return std::any_of(pass->layers.begin(), pass->layers.end(), learns); });
}

// With `labels`, only a sequence holding the learning layer learns; the others run as inference.
Samples run_batch(const std::vector<std::shared_ptr<Sequence>>& sequences, Samples samples,
                  std::vector<int32_t>* labels) {
  for (const auto& sequence : sequences) {
    auto* runnable = dynamic_cast<ForwardableSequence*>(sequence.get());
    if (!runnable) throw std::runtime_error(msg::sequence_cannot_run(sequence->name()));
    const auto outputs = runnable->forward_samples(samples, holds_learning_layer(*sequence) ? labels : nullptr);
    if (outputs.size() != samples.size()) {
      throw std::runtime_error(msg::sequence_output_count(sequence->name(), samples.size(), outputs.size()));
    }
    samples.assign(outputs.begin(), outputs.end());
  }
  return samples;
}

}  // namespace

std::shared_ptr<Dense> stack(const Samples& samples) {
  const auto first = std::const_pointer_cast<Tensor>(samples.front())->ensure_dense();
  std::vector<uint32_t> dims{static_cast<uint32_t>(samples.size())};
  dims.insert(dims.end(), first->shape().begin(), first->shape().end());
  if (dims.size() > Shape::kMaxDims) throw std::runtime_error(msg::kOutputTooManyDims);
  auto stacked = Dense::create(first->type(), Shape(std::span<const uint32_t>(dims)), first->layout());
  uint8_t* out = stacked->buffer();
  for (const auto& sample : samples) {
    const auto dense = std::const_pointer_cast<Tensor>(sample)->ensure_dense();
    if (dense->type() != first->type() || !(dense->shape() == first->shape())) {
      throw std::runtime_error(msg::kOutputsDiffer);
    }
    std::memcpy(out, dense->buffer(), dense->byte_size());
    out += dense->byte_size();
  }
  return stacked;
}

std::shared_ptr<Dense> run_sequences(const std::vector<std::shared_ptr<Sequence>>& sequences, const Dense& inputs,
                                     const std::vector<int32_t>* labels, uint32_t batch_size) {
  const auto frames = inputs.split();
  const size_t step = batch_size == 0 ? frames.size() : batch_size;
  const bool per_sample = labels && labels->size() > 1;
  Samples outputs;
  outputs.reserve(frames.size());
  for (size_t first = 0; first < frames.size(); first += step) {
    const size_t last = std::min(frames.size(), first + step);
    std::vector<int32_t> batch_labels;
    if (per_sample) {
      batch_labels.assign(labels->begin() + first, labels->begin() + last);
    } else if (labels) {
      batch_labels = *labels;
    }
    const auto batch = run_batch(sequences, Samples(frames.begin() + first, frames.begin() + last),
                                 labels ? &batch_labels : nullptr);
    outputs.insert(outputs.end(), batch.begin(), batch.end());
  }
  return stack(outputs);
}

}  // namespace ornix
