#include "ornix/ops/ops.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/error_text.h"

namespace ornix {
namespace {

using Tensor = std::shared_ptr<Dense>;

template <typename T>
Tensor make(TensorType type, const Shape& shape, const std::vector<T>& values) {
  return Dense::copy(values.data(), values.size() * sizeof(T), type, shape);
}
Tensor i32(const Shape& shape, const std::vector<int32_t>& v) { return make(TensorType::int32, shape, v); }
Tensor i16(const Shape& shape, const std::vector<int16_t>& v) { return make(TensorType::int16, shape, v); }
Tensor i8(const Shape& shape, const std::vector<int8_t>& v) { return make(TensorType::int8, shape, v); }
Tensor u8(const Shape& shape, const std::vector<uint8_t>& v) { return make(TensorType::uint8, shape, v); }

std::vector<int32_t> values(const Tensor& t) { return {t->data<int32_t>(), t->data<int32_t>() + t->size()}; }

// One hand-computed case: the call and the int32 values it must give. Images are
// (width, height, channels) with x[i][j][c] at (i x height + j) x channels + c.
struct OpCase {
  std::string name;
  std::function<Tensor()> run;
  std::vector<int32_t> expected;
};

const Tensor kNine = i32({3, 3, 1}, {1, 2, 3, 4, 5, 6, 7, 8, 9});  // x[i][j] = 3i + j + 1
const Tensor kW1234 = i8({2, 2, 1, 1}, {1, 2, 3, 4});

Tensor conv(const Tensor& x, const Tensor& w, int stride, Padding padding, int bits) {
  const ImagePatches p(static_cast<int32_t>(w->shape()[0]), static_cast<int32_t>(w->shape()[1]), stride, stride,
                       padding, x->shape());
  return ops::conv2d_v2(*x, p.stride_x, p.stride_y, p.pad_top, p.pad_left, p.out_width, p.out_height, *w, bits);
}

Tensor in_place(const Tensor& x, const std::function<void(Dense&)>& op) {
  op(*x);
  return x;
}

TEST(Ops, HandComputedCases) {
  const std::vector<OpCase> cases{
      {"lshift", [] { return ops::lshift(*i32({2, 2}, {1, -3, 5, 7}), *u8({2}, {1, 2}), 32); }, {2, -12, 10, 28}},
      {"lshift saturates", [] { return ops::lshift(*i32({2, 2}, {1, -3, 5, 7}), *u8({2}, {1, 2}), 4); }, {2, -8, 7, 7}},
      {"shift rounds half up", [] { return ops::shift(*i32({4}, {5, -5, 2, -3}), *i8({1}, {-1}), 32); }, {3, -2, 1, -1}},
      {"shift per channel", [] { return ops::shift(*i32({1, 2}, {6, -5}), *i8({2}, {-1, 2}), 32); }, {3, -20}},
      {"shift_out clips to unsigned", [] { return ops::shift_out(*i32({4}, {5, -5, 300, 7}), *i8({1}, {0}), 8); },
       {5, 0, 255, 7}},
      {"add", [] { return ops::add(*i32({2}, {1, 2}), *i32({2}, {3, -4}), 32); }, {4, -2}},
      {"add saturates", [] { return ops::add(*i32({2}, {100, -100}), *i32({2}, {0, 0}), 2); }, {1, -2}},
      {"scale_out signed",
       [] { return ops::scale_out(*i32({2}, {10, -10}), *u8({2}, {3, 2}), *i8({2}, {-2, 1}), 8, 1); }, {8, -40}},
      {"scale_out unsigned",
       [] { return ops::scale_out(*i32({2}, {10, -10}), *u8({2}, {3, 2}), *i8({2}, {-2, 1}), 8, 0); }, {8, 0}},
      {"relu_activation", [] { return ops::relu_activation(*i32({2, 2}, {-5, 3, 9, 2}), *i32({2}, {4, 100})); },
       {0, 3, 4, 2}},
      {"look_up clamps the index", [] { return ops::look_up(*i32({4}, {-1, 0, 2, 7}), *i32({3}, {10, 20, 30})); },
       {10, 10, 30, 30}},
      {"matmul", [] { return ops::matmul(*i32({2, 2}, {1, 2, 3, 4}), *i32({2, 3}, {1, 0, -1, 2, 1, 0}), 32, false); },
       {5, 2, -1, 11, 4, -3}},
      {"matmul transposed",
       [] { return ops::matmul(*i32({2, 2}, {1, 2, 3, 4}), *i32({3, 2}, {1, 2, 0, 1, -1, 0}), 32, true); },
       {5, 2, -1, 11, 4, -3}},
      {"concatenate", [] { return ops::concatenate_last_dim({i32({1, 2}, {1, 2}), i32({1, 1}, {3})}); }, {1, 2, 3}},
      {"extract_token counts from the end",
       [] { return ops::extract_token(*i32({2, 2, 2}, {0, 1, 2, 3, 4, 5, 6, 7}), -1, 0, 2); }, {4, 5}},
      {"conv2d valid", [] { return conv(kNine, kW1234, 1, Padding::Valid, 32); }, {37, 47, 67, 77}},
      {"conv2d same stride 2", [] { return conv(kNine, kW1234, 2, Padding::Same, 32); }, {37, 21, 23, 9}},
      {"conv2d saturates", [] { return conv(kNine, kW1234, 1, Padding::Valid, 6); }, {31, 31, 31, 31}},
      {"depthwise_conv2d",
       [] {
         return ops::depthwise_conv2d(*i32({2, 2, 2}, {1, 10, 2, 20, 3, 30, 4, 40}), 1, 1, 0, 0, 1, 1,
                                      *i8({2, 2, 1, 2}, {1, 1, 1, 0, 1, 0, 1, -1}));
       },
       {10, -30}},
      {"input_conv2d pads with the channel value",
       [] {
         const auto lw = ops::linearize_filters(*i8({2, 2, 1, 1}, {1, 1, 1, 1}));
         return ops::input_conv2d(*u8({2, 2, 1}, {1, 2, 3, 4}), *u8({1}, {9}), 1, 1, 0, 1, 0, 1, 2, 2, 2, 2, *lw);
       },
       {10, 24, 25, 31}},
      {"conv2d_transpose crops to the output",
       [] { return ops::conv2d_transpose(*i32({2, 1, 1}, {1, 2}), *i8({3, 1, 1, 1}, {1, 2, 3}), 2, 0, 0, 4, 1); },
       {1, 2, 5, 4}},
      {"global_average_pooling rounds half up",
       [] { return ops::global_average_pooling(i32({2, 1, 2}, {1, 4, 2, -5}), 32); }, {2, 0}},
      {"max_pooling leaves padding out",
       [] { return ops::max_pooling(i32({3, 1, 1}, {3, -1, -5}), 2, 1, false, 2, 1, 2, 1, 0, 1, 0, 0, 32); },
       {3, -5}},
      {"max_pooling with zero padding",
       [] { return ops::max_pooling(i32({3, 1, 1}, {3, -1, -5}), 2, 1, true, 2, 1, 2, 1, 0, 1, 0, 0, 32); }, {3, 0}},
      {"depthwise_like_conv",
       [] { return ops::depthwise_like_conv(*i32({2, 1, 2}, {1, 2, 3, 4}), *i8({2, 2}, {1, 1, 2, -1}), 32); },
       {7, -2}},
      {"subsampling", [] { return ops::subsampling(*i32({5, 1}, {0, 1, 2, 3, 4}), 2); }, {0, 2, 4}},
      {"upshape saturates", [] { return in_place(i32({3}, {1, -2, 1 << 30}), [](Dense& x) { ops::upshape(x, 2); }); },
       {4, -8, INT32_MAX}},
      {"downshape rounds half up", [] { return in_place(i32({3}, {5, -5, 4}), [](Dense& x) { ops::downshape(x, 1); }); },
       {3, -2, 2}},
  };
  for (const OpCase& c : cases) EXPECT_EQ(values(c.run()), c.expected) << c.name;
}

TEST(Ops, TypesOtherThanInt32) {
  const auto lw = ops::linearize_filters(*i8({1, 2, 1, 2}, {1, 2, 3, 4}));  // rows per filter
  EXPECT_EQ(std::vector<int8_t>(lw->data<int8_t>(), lw->data<int8_t>() + 4), (std::vector<int8_t>{1, 3, 2, 4}));
  const auto floats = ops::dequantize(*i32({2}, {2, -3}), *make(TensorType::float32, {2}, std::vector<float>{0.5f, 2}));
  EXPECT_EQ(std::vector<float>(floats->data<float>(), floats->data<float>() + 2), (std::vector<float>{1.0f, -6.0f}));
  const auto fifo = i8({3, 2}, {1, 2, 3, 4, 5, 6});
  ops::fifo_op(*fifo, *i8({2}, {7, 8}));
  EXPECT_EQ(std::vector<int8_t>(fifo->data<int8_t>(), fifo->data<int8_t>() + 6),
            (std::vector<int8_t>{3, 4, 5, 6, 7, 8}));
  // (e c - f d) / 2^3 + a b = (800 - 40) / 8 + 6, and (f c + e d) / 2^3 = 480 / 8.
  const auto c = i32({1, 1}, {100}), d = i32({1, 1}, {10});
  const auto [real, imaginary] =
      ops::update_internal_state(*i32({1, 1}, {2}), *i8({1, 1}, {3}), *c, *d, *i16({1}, {8}), *i16({1}, {4}), 3, 32);
  EXPECT_EQ(values(real), std::vector<int32_t>{101});
  EXPECT_EQ(values(imaginary), std::vector<int32_t>{60});
  EXPECT_EQ(values(c), std::vector<int32_t>{101});
}

TEST(Ops, ImagePatchesFields) {
  const ImagePatches p(2, 2, 2, 2, Padding::Same, Shape{3, 3, 1});
  EXPECT_EQ(std::vector<int64_t>({p.pad_top, p.pad_bottom, p.pad_left, p.pad_right, p.out_width, p.out_height,
                                  p.stride_x, p.stride_y}),
            std::vector<int64_t>({0, 1, 0, 1, 2, 2, 2, 2}));
}

TEST(Ops, RefusalsNameTheOperationAndArgument) {
  const std::vector<std::pair<std::function<void()>, std::string>> rows{
      {[] { ops::lshift(*i32({2}, {1, 2}), *u8({1}, {1}), 0); }, "lshift: the bit width must be between 1 and 32 (got 0)."},
      {[] { ops::shift(*i32({2, 2}, {1, 2, 3, 4}), *i8({3}, {1, 1, 1}), 32); },
       "shift: y holds 3 values, which is not the size of trailing dimensions of the input (2, 2)."},
      {[] { ops::conv2d_v2(*kNine, 1, 1, 0, 0, 2, 2, *i32({2, 2, 1, 1}, {1, 2, 3, 4}), 32); },
       "conv2d: w must be of type int8 (got int32)."},
      {[] { conv(i32({2, 2, 1}, {1 << 30, 0, 0, 0}), i8({1, 1, 1, 1}, {4}), 1, Padding::Valid, 32); },
       "conv2d: inputs up to 1073741824 in magnitude with weights of absolute sum 4 per output could overflow the "
       "32-bit accumulator."},
      {[] { ops::conv2d_v2(*kNine, 1, 1, 0, 0, 4, 2, *kW1234, 32); },
       "conv2d: output size along x must be between 1 and 3 (got 4)."},
      {[] { ImagePatches(4, 1, 1, 1, Padding::Valid, Shape{3, 3, 1}); },
       "ImagePatches: a window of 4 does not fit an input of 3 without padding."},
      {[] { ops::scale_out(*i32({2}, {1, 2}), *u8({2}, {1, 1}), *i8({2}, {0, 0}), 8, 2); },
       "scale_out: m must be between 0 and 1 (got 2)."},
  };
  for (const auto& [action, text] : rows) EXPECT_EQ(error_text(action), text);
}

}  // namespace
}  // namespace ornix
