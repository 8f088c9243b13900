#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "format_text.h"
#include "ornix/tensor.h"
#include "tensor_messages.h"

namespace ornix {

namespace {

// Bytes ORed side by side before they are folded into one: a fixed count, so that the loop
// runs on whole vectors.
constexpr size_t kOrLanes = 32;

// The OR of byte(v) over every value v of `values`.
template <typename T, typename Byte>
uint8_t or_of_bytes(const T* values, size_t size, Byte byte) {
  std::array<uint8_t, kOrLanes> lanes{};
  size_t i = 0;
  for (; i + kOrLanes <= size; i += kOrLanes) {
    for (size_t lane = 0; lane < kOrLanes; ++lane) lanes[lane] |= byte(values[i + lane]);
  }
  uint8_t all = 0;
  for (; i < size; ++i) all |= byte(values[i]);
  for (const uint8_t lane : lanes) all |= lane;
  return all;
}

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

// The same for 8-bit values, whose v ^ (v >> 7) is v, or ~v when negative, and fits a byte.
int signed_8bit_bitwidth(const Dense& tensor) {
  const uint8_t magnitudes = or_of_bytes(tensor.data<int8_t>(), tensor.size(),
                                         [](int8_t v) { return static_cast<uint8_t>(v ^ (v >> 7)); });
  return std::bit_width(magnitudes) + 1;
}

int unsigned_bitwidth(const Dense& tensor) {
  return std::bit_width(or_of_bytes(tensor.data<uint8_t>(), tensor.size(), [](uint8_t v) { return v; }));
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
      return signed_8bit_bitwidth(tensor);
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
