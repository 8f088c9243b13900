#include "array_conversion.h"

#include <array>
#include <span>
#include <stdexcept>

#include "conversion_messages.h"

namespace ornix::python {

namespace {

template <typename T>
std::shared_ptr<Dense> dense_from_array(const py::handle& source, TensorType type) {
  if (!source) throw std::invalid_argument(msg::kInvalidSourceArray);
  if (py::isinstance<py::array>(source)) check_element_count(py::reinterpret_borrow<py::array>(source));
  // No copy when the source already is a row-major array of T; ensure() clears NumPy's error.
  const auto array = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(source);
  if (!array) throw std::invalid_argument(msg::kInvalidSourceArray);
  const py::ssize_t count = array.ndim();
  if (count < 1 || count > static_cast<py::ssize_t>(Shape::kMaxDims)) {
    throw std::invalid_argument(msg::dense_dimension_count(static_cast<long>(count)));
  }
  std::array<uint32_t, Shape::kMaxDims> dims{};
  for (py::ssize_t i = 0; i < count; ++i) dims[static_cast<size_t>(i)] = static_cast<uint32_t>(array.shape(i));
  const Shape shape(std::span<const uint32_t>(dims.data(), static_cast<size_t>(count)));  // panics on a 0
  return Dense::copy(array.data(), static_cast<size_t>(array.nbytes()), type, shape, Layout::RowMajor);
}

// The NumPy axes of a dense tensor: a reversed tensor lists its axes backwards.
template <typename T>
py::array dense_to_numpy(const Dense& dense) {
  const size_t count = dense.shape().size();
  const bool reversed = dense.layout() == Layout::Reversed;
  std::vector<py::ssize_t> shape(count);
  std::vector<py::ssize_t> strides(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t axis = reversed ? count - 1 - i : i;
    shape[i] = dense.shape()[axis];
    strides[i] = static_cast<py::ssize_t>(dense.strides()[axis] * sizeof(T));
  }
  // Without a base object NumPy copies the data.
  return py::array(py::dtype::of<T>(), shape, strides, dense.data<T>());
}

const StorageConversion kInt32{"int32", dense_from_int32_array};
const StorageConversion kFloat32{"float32", dense_from_float_array};
const StorageConversion kUint8{"uint8", dense_from_uint8_array};
const StorageConversion kInt16{"int16", dense_from_int16_array};
const StorageConversion kInt8{"int8", dense_from_int8_array};

}  // namespace

void check_element_count(const py::array& array) {
  const py::ssize_t count = array.size();
  if (static_cast<uint64_t>(count) > Shape::kMaxElements) {
    throw std::invalid_argument(msg::array_too_large(count, Shape::kMaxElements));
  }
}

std::shared_ptr<Dense> dense_from_int32_array(const py::handle& array, TensorType type) {
  return dense_from_array<int32_t>(array, type);
}
std::shared_ptr<Dense> dense_from_float_array(const py::handle& array, TensorType type) {
  return dense_from_array<float>(array, type);
}
std::shared_ptr<Dense> dense_from_uint8_array(const py::handle& array, TensorType type) {
  return dense_from_array<uint8_t>(array, type);
}
std::shared_ptr<Dense> dense_from_int16_array(const py::handle& array, TensorType type) {
  return dense_from_array<int16_t>(array, type);
}
std::shared_ptr<Dense> dense_from_int8_array(const py::handle& array, TensorType type) {
  return dense_from_array<int8_t>(array, type);
}

const StorageConversion* storage_conversion(TensorType type) {
  switch (type) {
    case TensorType::int32:
      return &kInt32;
    case TensorType::float32:
      return &kFloat32;
    case TensorType::uint8:
    case TensorType::uint4:
    case TensorType::uint2:
      return &kUint8;
    case TensorType::int16:
      return &kInt16;
    case TensorType::int8:
    case TensorType::int4:
    case TensorType::int2:
    case TensorType::bit:
      return &kInt8;
  }
  return nullptr;
}

py::array tensor_to_numpy(const std::shared_ptr<const Tensor>& tensor) {
  const TensorType type = tensor->type();
  if (storage_conversion(type) == nullptr) throw std::runtime_error(msg::unconvertible_tensor(tensor_type_name(type)));
  // Producing the dense form may change a tensor that is not dense yet (a device output).
  const std::shared_ptr<const Dense> dense = std::const_pointer_cast<Tensor>(tensor)->ensure_dense();
  switch (type) {
    case TensorType::int32:
      return dense_to_numpy<int32_t>(*dense);
    case TensorType::float32:
      return dense_to_numpy<float>(*dense);
    case TensorType::int16:
      return dense_to_numpy<int16_t>(*dense);
    case TensorType::uint8:
    case TensorType::uint4:
    case TensorType::uint2:
      return dense_to_numpy<uint8_t>(*dense);
    default:
      return dense_to_numpy<int8_t>(*dense);
  }
}

std::vector<int32_t> labels_to_int_vector(const py::array& labels) {
  static constexpr std::array<const char*, 8> kIntegerDtypes = {"int8",  "uint8",  "int16", "uint16",
                                                                "int32", "uint32", "int64", "uint64"};
  const py::dtype dtype = labels.dtype();
  bool integers = false;
  for (const char* name : kIntegerDtypes) integers = integers || dtype.equal(py::dtype(name));
  if (!integers) throw std::invalid_argument(msg::kLabelsNotIntegers);
  check_element_count(labels);
  std::vector<int32_t> values;
  values.reserve(static_cast<size_t>(labels.size()));
  for (const py::handle value : py::list(labels.attr("ravel")().attr("tolist")())) {
    values.push_back(value.cast<int32_t>());
  }
  return values;
}

}  // namespace ornix::python
