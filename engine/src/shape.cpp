#include "ornix/shape.h"

#include <algorithm>
#include <cstdint>

#include "ornix/panic.h"
#include "tensor_messages.h"

namespace ornix {

namespace {

void check_dimension_count(size_t count) {
  if (count > Shape::kMaxDims) panic(msg::kTooManyDimensions, count);
}

void check_no_zero(std::span<const uint32_t> dims) {
  if (std::find(dims.begin(), dims.end(), 0u) != dims.end()) panic("%s", msg::kZeroDimension);
}

}  // namespace

Shape::Shape(std::initializer_list<uint32_t> dims) : Shape(std::span<const uint32_t>(dims.begin(), dims.size())) {}

Shape::Shape(std::span<const uint32_t> dims) : Shape(unchecked(dims)) { check_no_zero(dims); }

Shape Shape::unchecked(std::span<const uint32_t> dims) {
  check_dimension_count(dims.size());
  Shape shape;
  std::copy(dims.begin(), dims.end(), shape.dims_.begin());
  shape.count_ = static_cast<uint8_t>(dims.size());
  return shape;
}

uint64_t Shape::element_count() const {
  uint64_t count = 1;
  for (const uint32_t dim : *this) {
    if (__builtin_mul_overflow(count, uint64_t{dim}, &count)) return UINT64_MAX;
  }
  return count;
}

uint32_t Shape::checked_element_count() const {
  const uint64_t count = element_count();
  if (count > kMaxElements) {
    panic(msg::kShapeTooLarge, static_cast<unsigned long>(count), static_cast<unsigned>(kMaxElements));
  }
  return static_cast<uint32_t>(count);
}

bool Shape::operator==(const Shape& other) const { return std::equal(begin(), end(), other.begin(), other.end()); }

}  // namespace ornix
