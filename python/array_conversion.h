#pragma once

// NumPy arrays to engine tensors and back. Every conversion copies: an engine tensor never
// aliases NumPy memory and a returned array never aliases engine memory.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/tensor.h"

namespace ornix::python {

namespace py = pybind11;

// Refuses (std::invalid_argument) an array of more elements than a tensor holds. A view (a
// broadcast array) can describe far more elements than its memory: arrays are measured before
// NumPy's cast or a loop over their elements copies them.
void check_element_count(const py::array& array);

// A new row-major (layout 0) Dense of `type` holding `array` cast to the function's element
// (NumPy's unsafe cast; any object NumPy turns into an array is accepted). `type` must be
// stored in that element: callers pass the element's own type, or a narrower type of the same
// storage (int4 from int8). Refusals: "Invalid source array." and the dimension-count text
// (std::invalid_argument); a dimension of 0 panics. No tensor is made when a check fails.
std::shared_ptr<Dense> dense_from_int32_array(const py::handle& array, TensorType type);
std::shared_ptr<Dense> dense_from_float_array(const py::handle& array, TensorType type);
std::shared_ptr<Dense> dense_from_uint8_array(const py::handle& array, TensorType type);
std::shared_ptr<Dense> dense_from_int16_array(const py::handle& array, TensorType type);
std::shared_ptr<Dense> dense_from_int8_array(const py::handle& array, TensorType type);

// How one tensor type is stored as NumPy elements: int4, int2 and bit as int8, uint4 and uint2
// as uint8, the others as themselves.
struct StorageConversion {
  const char* dtype;  // NumPy's name of the element ("int8")
  std::shared_ptr<Dense> (*to_dense)(const py::handle& array, TensorType type);
};
// Null for a type outside the ten the engine knows.
const StorageConversion* storage_conversion(TensorType type);

// A new NumPy array holding a copy of the tensor's elements in the storage dtype. A reversed
// (layout 1) tensor of dimensions (a, b, c) comes back with shape (c, b, a), element [i, j, k]
// being the tensor's (k, j, i). std::runtime_error for a tensor of an unknown type.
py::array tensor_to_numpy(const std::shared_ptr<const Tensor>& tensor);

// Integer labels (int8 ... uint64) as 32-bit labels. std::invalid_argument for another dtype and
// for more labels than a tensor holds; a value outside the int32 range fails the cast
// (py::cast_error).
std::vector<int32_t> labels_to_int_vector(const py::array& labels);

}  // namespace ornix::python
