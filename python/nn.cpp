#include <pybind11/numpy.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "array_conversion.h"
#include "nn_messages.h"
#include "ornix/ops/ops.h"
#include "registration.h"

namespace ornix::python {

namespace {

// Every array argument is cast by NumPy (forced casting, C order) to the element the operation
// takes; the conversions below copy it into a new tensor, so the caller's array never changes.
template <typename T>
using Array = py::array_t<T, py::array::c_style | py::array::forcecast>;

using DensePtr = std::shared_ptr<Dense>;

DensePtr int32_dense(const py::handle& array) { return dense_from_int32_array(array, TensorType::int32); }
DensePtr int16_dense(const py::handle& array) { return dense_from_int16_array(array, TensorType::int16); }
DensePtr int8_dense(const py::handle& array) { return dense_from_int8_array(array, TensorType::int8); }
DensePtr uint8_dense(const py::handle& array) { return dense_from_uint8_array(array, TensorType::uint8); }
DensePtr float_dense(const py::handle& array) { return dense_from_float_array(array, TensorType::float32); }

py::array to_numpy(const DensePtr& tensor) { return tensor_to_numpy(tensor); }

// The first two dimensions of an array whose window (or image) sizes are read from them.
struct LeadingDims {
  int32_t d0;
  int32_t d1;
};

template <typename T>
LeadingDims leading_dims(const Array<T>& array, const char* what) {
  if (array.ndim() < 2) throw std::invalid_argument(msg::nn_needs_two_dimensions(what, array.ndim()));
  return {static_cast<int32_t>(array.shape(0)), static_cast<int32_t>(array.shape(1))};
}

py::array conv2d(const Array<int32_t>& x, const Array<int8_t>& w, uint8_t s, Padding p, int n) {
  const LeadingDims window = leading_dims(w, "conv2d weights");
  const DensePtr input = int32_dense(x);
  const DensePtr weights = int8_dense(w);
  const ImagePatches patches(window.d0, window.d1, s, s, p, input->shape());
  return to_numpy(ops::conv2d_v2(*input, patches.stride_x, patches.stride_y, patches.pad_top, patches.pad_left,
                                 patches.out_width, patches.out_height, *weights, n));
}

// The sixth argument is accepted for compatibility and has no effect.
py::array input_conv2d(const Array<uint8_t>& x, const Array<int8_t>& w, uint8_t s, Padding p,
                       const Array<uint8_t>& v, uint32_t) {
  const LeadingDims window = leading_dims(w, "input_conv2d weights");
  const DensePtr input = uint8_dense(x);
  const DensePtr weights = int8_dense(w);
  const DensePtr pad_values = uint8_dense(v);
  const DensePtr filters = ops::linearize_filters(*weights);
  const ImagePatches patches(window.d0, window.d1, s, s, p, input->shape());
  return to_numpy(ops::input_conv2d(*input, *pad_values, patches.stride_x, patches.stride_y, patches.pad_left,
                                    patches.pad_right, patches.pad_top, patches.pad_bottom, patches.out_width,
                                    patches.out_height, window.d0, window.d1, *filters));
}

// Pads of max(k - s, 0) / 2 and an output s times the input, along the first two dimensions.
py::array conv2d_transpose(const Array<int32_t>& x, const Array<int8_t>& w, uint8_t s) {
  const LeadingDims kernel = leading_dims(w, "conv2d_transpose weights");
  const LeadingDims image = leading_dims(x, "conv2d_transpose input");
  const int32_t k0 = static_cast<uint8_t>(kernel.d0);
  const int32_t k1 = static_cast<uint8_t>(kernel.d1);
  const int32_t pad0 = std::max(k0 - s, 0) / 2;
  const int32_t pad1 = std::max(k1 - s, 0) / 2;
  const auto out0 = static_cast<uint32_t>(s) * static_cast<uint32_t>(image.d0);
  const auto out1 = static_cast<uint32_t>(s) * static_cast<uint32_t>(image.d1);
  const DensePtr input = int32_dense(x);
  const DensePtr weights = int8_dense(w);
  return to_numpy(ops::conv2d_transpose(*input, *weights, s, pad0, pad1, out0, out1));
}

// Always with Same padding.
py::array depthwise_conv2d(const Array<int32_t>& x, const Array<int8_t>& w, uint8_t s) {
  const LeadingDims window = leading_dims(w, "depthwise_conv2d weights");
  const DensePtr input = int32_dense(x);
  const DensePtr weights = int8_dense(w);
  const ImagePatches patches(window.d0, window.d1, s, s, Padding::Same, input->shape());
  return to_numpy(ops::depthwise_conv2d(*input, patches.stride_x, patches.stride_y, patches.pad_top, patches.pad_left,
                                        patches.out_width, patches.out_height, *weights));
}

py::array max_pooling(const Array<int32_t>& x, uint8_t a, int8_t b, int8_t c, uint8_t d, Padding p, int n) {
  const DensePtr input = int32_dense(x);
  const ImagePatches patches(a, b, c, d, p, input->shape());
  return to_numpy(ops::max_pooling(input, a, b, false, patches.out_width, patches.out_height, patches.stride_x,
                                   patches.stride_y, patches.pad_left, patches.pad_right, patches.pad_top,
                                   patches.pad_bottom, n));
}

py::tuple stateful_main_op(const Array<int32_t>& a, const Array<int8_t>& b, const Array<int32_t>& c,
                           const Array<int32_t>& d, const Array<int16_t>& e, const Array<int16_t>& f, int n, int m) {
  const DensePtr input = int32_dense(a);
  const DensePtr real = int32_dense(c);  // updated in place by the engine, then dropped
  const DensePtr imaginary = int32_dense(d);
  const DensePtr decay_real = int16_dense(e);
  const DensePtr decay_imaginary = int16_dense(f);
  const DensePtr projection = int8_dense(b);
  const auto [next_real, next_imaginary] =
      ops::update_internal_state(*input, *projection, *real, *imaginary, *decay_real, *decay_imaginary, n, m);
  return py::make_tuple(to_numpy(next_real), to_numpy(next_imaginary));
}

}  // namespace

void register_nn(py::module_& m) {
  py::module_ nn = m.def_submodule("nn",
                                   "Ornix Neural Network software internal functions. These are meant for testing, "
                                   "debugging and validation only.");
  nn.def("lshift", [](const Array<int32_t>& x, const Array<uint8_t>& y, int n) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::lshift(*input, *uint8_dense(y), n));
  });
  nn.def("shift", [](const Array<int32_t>& x, const Array<int8_t>& y, int n) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::shift(*input, *int8_dense(y), n));
  });
  nn.def("shift_out", [](const Array<int32_t>& x, const Array<int8_t>& y, int n) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::shift_out(*input, *int8_dense(y), n));
  });
  nn.def("matmul", [](const Array<int32_t>& x, const Array<int32_t>& y, int n, bool transposed_y) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::matmul(*input, *int32_dense(y), n, transposed_y));
  });
  nn.def("add", [](const Array<int32_t>& x, const Array<int32_t>& y, int n) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::add(*input, *int32_dense(y), n));
  });
  nn.def("concatenate", [](const Array<int32_t>& x, const Array<int32_t>& y) {
    const std::vector<DensePtr> parts{int32_dense(x), int32_dense(y)};
    return to_numpy(ops::concatenate_last_dim(parts));
  });
  // The scales are cast again to uint8 and the shifts to int8, as the engine takes them.
  nn.def("scale_out", [](const Array<int32_t>& x, const Array<int32_t>& y, const Array<int32_t>& z, int n, int m) {
    const DensePtr input = int32_dense(x);
    const DensePtr scales = uint8_dense(y);
    const DensePtr shifts = int8_dense(z);
    return to_numpy(ops::scale_out(*input, *scales, *shifts, n, m));
  });
  nn.def("conv2d", &conv2d);
  nn.def("input_conv2d", &input_conv2d);
  nn.def("extract_token", [](const Array<int32_t>& x, uint32_t a, uint32_t b, uint32_t c) {
    return to_numpy(ops::extract_token(*int32_dense(x), static_cast<int32_t>(a), static_cast<int32_t>(b), c));
  });
  nn.def("conv2d_transpose", &conv2d_transpose);
  nn.def("dequantize", [](const Array<int32_t>& x, const Array<float>& y) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::dequantize(*input, *float_dense(y)));
  });
  nn.def("depthwise_conv2d", &depthwise_conv2d);
  nn.def("relu_activation", [](const Array<int32_t>& x, const Array<int32_t>& y) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::relu_activation(*input, *int32_dense(y)));
  });
  nn.def("look_up", [](const Array<int32_t>& x, const Array<int32_t>& y) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::look_up(*input, *int32_dense(y)));
  });
  nn.def("global_average_pooling", [](const Array<int32_t>& x, int n) {
    return to_numpy(ops::global_average_pooling(int32_dense(x), n));
  });
  nn.def("max_pooling", &max_pooling);
  // The buffer comes back as the push left it; the caller's array keeps its values.
  nn.def("fifo_op", [](const Array<int8_t>& x, const Array<int8_t>& y) {
    const DensePtr buffer = int8_dense(x);
    ops::fifo_op(*buffer, *int8_dense(y));
    return to_numpy(buffer);
  });
  nn.def("depth_conv_like_op", [](const Array<int32_t>& x, const Array<int8_t>& y, int n) {
    const DensePtr input = int32_dense(x);
    return to_numpy(ops::depthwise_like_conv(*input, *int8_dense(y), n));
  });
  nn.def("stateful_main_op", &stateful_main_op);
  nn.def("subsampling_op", [](const Array<int32_t>& x, uint8_t k) {
    return to_numpy(ops::subsampling(*int32_dense(x), k));
  });
  nn.def("upshape_op", [](const Array<int32_t>& x, uint8_t k) {
    const DensePtr values = int32_dense(x);
    ops::upshape(*values, k);
    return to_numpy(values);
  });
  nn.def("downshape_op", [](const Array<int32_t>& x, uint8_t k) {
    const DensePtr values = int32_dense(x);
    ops::downshape(*values, k);
    return to_numpy(values);
  });
}

}  // namespace ornix::python
