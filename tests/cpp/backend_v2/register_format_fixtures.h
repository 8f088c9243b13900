#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/tensor.h"

// Small tensors for the register and payload formatter tests.
namespace ornix::v2::test {

// One-dimensional tensor of `type` holding `values` (T must be the type's storage element).
template <typename T>
std::shared_ptr<Dense> tensor(const std::vector<T>& values, TensorType type, Shape shape = {}) {
  if (shape.empty()) shape = Shape{static_cast<uint32_t>(values.size())};
  return Dense::copy(values.data(), values.size() * sizeof(T), type, shape);
}

inline std::shared_ptr<Dense> u8(const std::vector<uint8_t>& values, Shape shape = {}) {
  return tensor(values, TensorType::uint8, shape);
}
inline std::shared_ptr<Dense> s8(const std::vector<int8_t>& values, Shape shape = {}) {
  return tensor(values, TensorType::int8, shape);
}
inline std::shared_ptr<Dense> s32(const std::vector<int32_t>& values) { return tensor(values, TensorType::int32); }

}  // namespace ornix::v2::test
