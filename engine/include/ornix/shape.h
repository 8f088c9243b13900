#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace ornix {

// Up to four u32 dimensions and the count in use.
class Shape {
 public:
  static constexpr size_t kMaxDims = 4;
  static constexpr uint64_t kMaxElements = 0xFFFFFFFFu;

  // No dimension in use.
  Shape() = default;
  // Panics "Cannot have a shape with a dimension set to 0" on a zero dimension, and on more
  // than four dimensions.
  Shape(std::initializer_list<uint32_t> dims);
  explicit Shape(std::span<const uint32_t> dims);

  // For geometry still being computed (a layer whose inputs are too small for its kernel):
  // zero dimensions are kept; readers such as Layer::output_dimensions refuse them.
  static Shape unchecked(std::span<const uint32_t> dims);

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  uint32_t operator[](size_t i) const { return dims_[i]; }
  const uint32_t* begin() const { return dims_.data(); }
  const uint32_t* end() const { return dims_.data() + count_; }

  // Product of the dimensions in use (1 when none), saturating at UINT64_MAX.
  uint64_t element_count() const;
  // element_count(), panicking "Tensor shape size %lu exceeds maximum shape size (%u)" above
  // kMaxElements.
  uint32_t checked_element_count() const;

  bool operator==(const Shape& other) const;

 private:
  std::array<uint32_t, kMaxDims> dims_{};
  uint8_t count_ = 0;
};

// Padding amounts, in elements.
struct PaddingParams {
  uint32_t top = 0;
  uint32_t bottom = 0;
  uint32_t left = 0;
  uint32_t right = 0;
  bool operator==(const PaddingParams&) const = default;
};

}  // namespace ornix
