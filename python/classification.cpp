#include "classification.h"

#include <limits>
#include <stdexcept>

#include "model_messages.h"

namespace ornix::python {

namespace {

// Index of the class of each sample: the group of `group` elements holding the sample's first
// largest value above the element type's lowest; -1 when no value rises above it.
template <typename T>
std::vector<int64_t> classify(const Dense& output, uint32_t samples, uint32_t classes) {
  const T* values = output.data<T>();
  const size_t group = output.shape().element_count() / (size_t(classes) * samples);
  std::vector<int64_t> predicted(samples, -1);
  for (uint32_t i = 0; i < samples; ++i) {
    T best = std::numeric_limits<T>::lowest();
    const T* sample = values + size_t(i) * classes * group;
    for (uint32_t k = 0; k < classes; ++k) {
      for (size_t j = 0; j < group; ++j) {
        if (sample[k * group + j] > best) {
          best = sample[k * group + j];
          predicted[i] = k;
        }
      }
    }
  }
  return predicted;
}

}  // namespace

std::vector<int64_t> predicted_classes(const Dense& output, int64_t num_classes) {
  const TensorType type = output.type();
  const bool classifiable = type == TensorType::int32 || type == TensorType::float32 || type == TensorType::int8 ||
                            type == TensorType::uint8 || type == TensorType::uint4 || type == TensorType::uint2 ||
                            type == TensorType::bit;
  if (!classifiable) throw std::runtime_error(msg::cannot_evaluate(tensor_type_name(type)));
  if (num_classes < 2) throw std::invalid_argument(msg::too_few_classes(num_classes));
  const Shape& shape = output.shape();
  const uint32_t channels = shape[shape.size() - 1];
  if (channels % num_classes != 0) throw std::invalid_argument(msg::neurons_not_multiple(channels, num_classes));
  const uint32_t samples = shape[0];
  const auto classes = uint32_t(num_classes);
  switch (type) {
    case TensorType::int32:
      return classify<int32_t>(output, samples, classes);
    case TensorType::float32:
      return classify<float>(output, samples, classes);
    case TensorType::int8:
    case TensorType::bit:  // stored as signed bytes of 0 and 1
      return classify<int8_t>(output, samples, classes);
    default:
      return classify<uint8_t>(output, samples, classes);
  }
}

float accuracy(const std::vector<int64_t>& predicted, const std::vector<int32_t>& labels) {
  if (predicted.size() > labels.size()) throw std::runtime_error(msg::samples_exceed_labels(predicted.size(), labels.size()));
  float correct = 0;
  for (size_t i = 0; i < predicted.size(); ++i) {
    if (predicted[i] >= 0 && predicted[i] == labels[i]) correct += 1;
  }
  return correct / float(labels.size());
}

}  // namespace ornix::python
