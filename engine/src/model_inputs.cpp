#include "model_inputs.h"

#include <algorithm>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>

#include "format_text.h"
#include "model_messages.h"
#include "ops_support.h"

namespace ornix {

namespace {

bool takes_type(TensorType type, bool signed_input) {
  if (signed_input) return type == TensorType::int8 || type == TensorType::int16;
  return type == TensorType::uint8;
}

template <typename T>
void check_values(const Dense& inputs, ops::detail::Range range, int bits, bool is_signed) {
  if (range.min <= std::numeric_limits<T>::min() && range.max >= std::numeric_limits<T>::max()) return;
  const std::span<const T> values(inputs.data<T>(), inputs.size());
  const auto outside = std::find_if(values.begin(), values.end(), [&](T v) { return v < range.min || v > range.max; });
  if (outside != values.end()) throw std::invalid_argument(msg::input_value_out_of_range(*outside, bits, is_signed));
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

void check_input_values(const Dense& inputs, const Layer& first) {
  const int bits = first.input_bits();
  const bool is_signed = first.params()->layer_type() == LayerType::InputData && first.output_signed();
  const ops::detail::Range range = is_signed ? ops::detail::signed_range(bits) : ops::detail::unsigned_range(bits);
  switch (inputs.type()) {
    case TensorType::uint8:
      return check_values<uint8_t>(inputs, range, bits, is_signed);
    case TensorType::int8:
      return check_values<int8_t>(inputs, range, bits, is_signed);
    case TensorType::int16:
      return check_values<int16_t>(inputs, range, bits, is_signed);
    default:  // int32; typed access refuses any other type
      return check_values<int32_t>(inputs, range, bits, is_signed);
  }
}

void check_labels(size_t labels, size_t samples) {
  if (labels > 1 && labels != samples) throw std::invalid_argument(msg::label_count_mismatch(labels, samples));
}

}  // namespace ornix
