#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "format_text.h"
#include "ornix/tensor.h"
#include "tensor_messages.h"

namespace ornix {

namespace {

// Width of the widest value in two's complement: a negative v needs as many bits as ~v >= 0,
// plus the sign bit.
template <typename T>
int signed_bitwidth(const Dense& tensor) {
  const T* values = tensor.data<T>();
  uint32_t magnitudes = 0;
  for (size_t i = 0; i < tensor.size(); ++i) {
    const int32_t v = values[i];
    magnitudes |= static_cast<uint32_t>(v < 0 ? ~v : v);
  }
  return std::bit_width(magnitudes) + 1;
}

int unsigned_bitwidth(const Dense& tensor) {
  const uint8_t* values = tensor.data<uint8_t>();
  uint32_t bits = 0;
  for (size_t i = 0; i < tensor.size(); ++i) bits |= values[i];
  return std::bit_width(bits);
}

}  // namespace

int evaluate_bitwidth(const Dense& tensor) {
  switch (tensor.type()) {
    case TensorType::int32:
      return signed_bitwidth<int32_t>(tensor);
    case TensorType::int16:
      return signed_bitwidth<int16_t>(tensor);
    case TensorType::int8:
    case TensorType::int4:
    case TensorType::int2:
    case TensorType::bit:
      return signed_bitwidth<int8_t>(tensor);
    case TensorType::uint8:
    case TensorType::uint4:
    case TensorType::uint2:
      return unsigned_bitwidth(tensor);
    case TensorType::float32:
      break;
  }
  throw std::invalid_argument(msg::kBitwidthOfFloat);
}

std::shared_ptr<Dense> get_threshold_t16_from_act_steps(const Dense& act_steps) {
  const float* steps = act_steps.data<float>();
  auto sixteenths = Dense::create(TensorType::int32, act_steps.shape(), act_steps.layout());
  int32_t* out = sixteenths->data<int32_t>();
  for (size_t i = 0; i < act_steps.size(); ++i) {
    const double t16 = std::round(16.0 * steps[i]);
    if (!(t16 >= INT32_MIN && t16 <= INT32_MAX)) {
      throw std::invalid_argument(format_text(msg::kActStepOutOfRange, static_cast<double>(steps[i])));
    }
    out[i] = static_cast<int32_t>(t16);
  }
  return sixteenths;
}

}  // namespace ornix
