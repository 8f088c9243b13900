#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/shape.h"

namespace ornix {

// Element types. int4, int2 and bit are stored one signed byte per value; uint4 and uint2 one
// unsigned byte per value.
enum class TensorType : uint32_t {
  int32 = 0,
  float32 = 1,
  uint8 = 2,
  int16 = 3,
  int8 = 4,
  int4 = 5,
  int2 = 6,
  uint4 = 7,
  uint2 = 8,
  bit = 9,
};

// "int32" ... "bit"; "unknown" for any other value.
const char* tensor_type_name(TensorType type);
// Bytes of one stored element; 0 for an unknown type.
size_t tensor_element_size(TensorType type);
// The type whose element holds each value of `type`: int8 for int4, int2 and bit, uint8 for
// uint4 and uint2, the type itself for the others. Typed access asks for that element.
TensorType storage_type(TensorType type);

// How the dimensions of a tensor are listed.
enum class Layout : uint8_t {
  RowMajor = 0,  // NumPy's order: the last dimension is contiguous
  Reversed = 1,  // dimensions listed in reverse of NumPy's order: dimension 0 is contiguous
};

class Dense;

// A tensor of the engine: a Dense, or a device output that owns one.
class Tensor {
 public:
  virtual ~Tensor() = default;
  virtual TensorType type() const = 0;
  virtual const Shape& shape() const = 0;
  virtual std::shared_ptr<Dense> ensure_dense() = 0;
};

// A tensor stored as one contiguous buffer with element strides.
class Dense final : public Tensor, public std::enable_shared_from_this<Dense> {
 public:
  // Zero-filled. Panics on an unknown type and on more than Shape::kMaxElements elements.
  static std::shared_ptr<Dense> create(TensorType type, const Shape& shape, Layout layout = Layout::RowMajor);
  // Copies `bytes` bytes of `data` (not kept); they must be exactly the element count times the
  // element size, and `data` must not be null (std::invalid_argument otherwise).
  static std::shared_ptr<Dense> copy(const void* data, size_t bytes, TensorType type, const Shape& shape,
                                     Layout layout = Layout::RowMajor);
  // Element strides of a shape in a layout: row-major, or dimension 0 contiguous when reversed.
  // Panics like Shape::checked_element_count on an oversized shape; an unknown layout throws
  // std::invalid_argument.
  static std::vector<uint32_t> eval_strides(const Shape& shape, Layout layout);

  TensorType type() const override { return type_; }
  const Shape& shape() const override { return shape_; }
  std::shared_ptr<Dense> ensure_dense() override { return shared_from_this(); }

  Layout layout() const { return layout_; }
  const std::vector<uint32_t>& strides() const { return strides_; }  // elements
  size_t size() const { return size_; }                              // elements
  size_t byte_size() const { return buffer_.size(); }
  const uint8_t* buffer() const { return buffer_.data(); }
  uint8_t* buffer() { return buffer_.data(); }

  // One tensor per index of dimension 0, holding the remaining dimensions (a one-dimensional
  // tensor gives single-element frames of shape (1)). Frames keep the type and layout and own
  // copies of their elements. A tensor without dimensions throws std::invalid_argument.
  std::vector<std::shared_ptr<Dense>> split() const;

  // Typed access. Panics "Wrong requested type %s for a tensor of type %s." when T is not the
  // storage element of the tensor's type; both are written as type names ("int8", "float32").
  template <typename T>
  const T* data() const {
    check_element<T>();
    return reinterpret_cast<const T*>(buffer_.data());
  }
  template <typename T>
  T* data() {
    check_element<T>();
    return reinterpret_cast<T*>(buffer_.data());
  }

  // Element at coordinates, through the strides. Panics "Coordinates are out-of-range" when
  // the coordinate count differs from the shape's or a coordinate is past its dimension.
  template <typename T>
  T at(std::initializer_list<uint32_t> coords) const {
    return data<T>()[offset_of(coords)];
  }
  size_t offset_of(std::initializer_list<uint32_t> coords) const;

 private:
  Dense(TensorType type, const Shape& shape, Layout layout);

  template <typename T>
  void check_element() const {
    if (storage_type(type_) != element_type<T>()) refuse_element(element_type<T>());
  }
  [[noreturn]] void refuse_element(TensorType requested) const;
  // The type whose storage element T is (int8_t: int8, uint8_t: uint8...).
  template <typename T>
  static TensorType element_type();

  TensorType type_;
  Shape shape_;
  Layout layout_;
  std::vector<uint32_t> strides_;
  size_t size_;
  std::vector<uint8_t> buffer_;
};

template <> TensorType Dense::element_type<int32_t>();
template <> TensorType Dense::element_type<float>();
template <> TensorType Dense::element_type<uint8_t>();
template <> TensorType Dense::element_type<int16_t>();
template <> TensorType Dense::element_type<int8_t>();

// Bits the values of an integer tensor need: for signed types (int32, int16, int8, int4, int2,
// bit) the smallest two's-complement width that holds every value, so {-8..7} needs 4 and {8}
// needs 5; for unsigned types (uint8, uint4, uint2) the bit length of the largest value, so
// {0..31} needs 5 and {32} needs 6. All zeros need 1 bit when signed (the sign bit) and 0 bits
// when unsigned. A float32 tensor throws std::invalid_argument.
int evaluate_bitwidth(const Dense& tensor);

// Steps in sixteenths: for each act_step value s (float32 tensor, one per filter or neuron),
// 16 x s rounded to the nearest integer, halves away from zero, so a whole step s gives exactly
// 16s. The result is an int32 tensor of the same shape and layout. A value whose sixteenths are
// not finite or fall outside the int32 range throws std::invalid_argument; negative steps are
// kept (the formatters refuse them). Panics on a tensor that is not float32.
std::shared_ptr<Dense> get_threshold_t16_from_act_steps(const Dense& act_steps);

}  // namespace ornix
