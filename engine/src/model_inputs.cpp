#include "model_inputs.h"

#include <stdexcept>
#include <string>

#include "format_text.h"
#include "model_messages.h"

namespace ornix {

namespace {


bool takes_type(TensorType type, bool signed_input) {
  if (signed_input) return type == TensorType::int8 || type == TensorType::int16;
  return type == TensorType::uint8;
}

}  // namespace

void check_model_inputs(const Dense& inputs, const Shape& sample, bool signed_input) {
  const Shape& shape = inputs.shape();
  bool same = shape.size() == sample.size() + 1;
  for (size_t i = 0; same && i < sample.size(); ++i) same = shape[i + 1] == sample[i];
  if (!same) throw std::invalid_argument(msg::input_shape_mismatch("(N, " + shape_text(sample).substr(1), shape_text(shape)));
  if (!takes_type(inputs.type(), signed_input)) {
    const char* expected = signed_input ? msg::kSignedInputTypes : msg::kUnsignedInputTypes;
    throw std::invalid_argument(msg::input_type_mismatch(expected, tensor_type_name(inputs.type())));
  }
  if (inputs.layout() != Layout::RowMajor) throw std::invalid_argument(msg::kInputsNotRowMajor);
}

void check_labels(size_t labels, size_t samples) {
  if (labels > 1 && labels != samples) throw std::invalid_argument(msg::label_count_mismatch(labels, samples));
}

}  // namespace ornix
