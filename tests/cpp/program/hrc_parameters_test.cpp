#include <gtest/gtest.h>

#include <stdexcept>
#include <type_traits>
#include <vector>

#include "program/hrc_format.h"
#include "program/thrown.h"

namespace ornix::program {
namespace {

using Words = std::vector<uint32_t>;

// One-dimensional unless a shape is given.
template <typename T>
std::shared_ptr<Dense> tensor(const std::vector<T>& values, Layout layout, Shape shape) {
  if (shape.empty()) shape = Shape{static_cast<uint32_t>(values.size())};
  const TensorType type = std::is_signed_v<T> ? TensorType::int8 : TensorType::uint8;
  return Dense::copy(values.data(), values.size(), type, shape, layout);
}
std::shared_ptr<Dense> s8(const std::vector<int8_t>& values, Layout layout = Layout::RowMajor, Shape shape = {}) {
  return tensor(values, layout, shape);
}
std::shared_ptr<Dense> u8(const std::vector<uint8_t>& values, Layout layout = Layout::RowMajor, Shape shape = {}) {
  return tensor(values, layout, shape);
}

TEST(HrcFormat, ActivationsWithAndWithoutMaxValues) {
  const auto out_shift = s8({-32, 31});
  const auto out_scale = u8({0xAB, 0x01});
  const auto bias_shift = u8({31, 0});
  const auto bias = s8({-1, 127});
  // word 0: 0x20 | 0xAB << 6 | 31 << 14 | 1 << 19; word 1: 0x7F | 31 << 7 | 0xFF << 12
  EXPECT_EQ(format_hrc_activations(*out_shift, *out_scale, u8({31, 5}).get(), u8({0xFF, 0x02}).get(), *bias_shift,
                                   *bias),
            (Words{0xFEAE0, 0xFFFFF, 0x1F | 0x40 | 5 << 14, 1 | 0x7F << 12}));
  EXPECT_EQ(format_hrc_activations(*out_shift, *out_scale, nullptr, nullptr, *bias_shift, *bias),
            (Words{0x2AE0, 0xFFF80, 0x5F, 0x7F000}));

  const auto one = u8({1});
  const auto zero = s8({0});
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_hrc_activations(*s8({32}), *one, nullptr, nullptr, *one, *zero); }),
            "32 cannot fit in a 6 bits signed integer.");
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_hrc_activations(*zero, *one, nullptr, nullptr, *u8({40}), *zero); }),
            "40 cannot fit in a 5 bits unsigned integer.");
  EXPECT_EQ(thrown<std::invalid_argument>(
                [&] { format_hrc_activations(*s8({0, 0}), *one, nullptr, nullptr, *u8({0, 0}), *s8({0, 0})); }),
            "An HRC parameter tensor holds 1 elements but 2 are read.");
}

TEST(HrcFormat, LutVariablesSplitTheBiasShiftAcrossTheTwoWords) {
  // word 0: 0xAB | 0xFE << 8 | 0xF << 16; word 1: 1 | 0x3F << 1 | 31 << 7 | 0xCD << 13
  // word 0: 5 << 8; word 1: 1 | 0x20 << 1 | 0x20 << 7
  EXPECT_EQ(format_hrc_lut_variables(*u8({0xAB, 0}), *s8({-2, 5}), *u8({31, 16}), *s8({-1, -32}), *s8({31, -32}),
                                     *u8({0xCD, 0})),
            (Words{0xFFEAB, 0x19AFFF, 0x500, 0x1041}));
  const auto u = u8({0});
  const auto s = s8({0});
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_hrc_lut_variables(*u, *s, *u8({40}), *s, *s, *u); }),
            "2 cannot fit in a 1 bits unsigned integer.");
}

TEST(HrcFormat, TokensAndPositionEmbeddingsReadByCoordinates) {
  // Shape (2, 3) with dimension 0 contiguous: (i, j) at offset i + 2j.
  const auto tokens = s8({10, 20, 11, 21, 12, -1}, Layout::Reversed, Shape{2, 3});
  const auto params = u8({0, 31, 1, 2, 3, 4}, Layout::Reversed, Shape{2, 3});
  EXPECT_EQ(format_hrc_tokens(*tokens, *params), (Words{0x0A, 0x10B, 0x30C, 0x1F14, 0x215, 0x4FF}));
  EXPECT_EQ(thrown<std::invalid_argument>([&] { format_hrc_tokens(*tokens, *u8({0})); }),
            "An HRC parameter tensor holds 1 elements but 6 are read.");
  EXPECT_EQ(thrown<std::invalid_argument>([&] { format_hrc_tokens(*s8({1, 2}), *u8({0, 0})); }),
            "HRC tokens and position embeddings must be two-dimensional tensors.");

  // Four of a row per word.
  EXPECT_EQ(format_hrc_pos_embeddings(*s8({1, 5, 2, 6, 3, 7, 4, -1}, Layout::Reversed, Shape{2, 4})),
            (Words{0x04030201, 0xFF070605}));
  EXPECT_EQ(thrown<std::invalid_argument>(
                [] { format_hrc_pos_embeddings(*s8(std::vector<int8_t>(12), Layout::RowMajor, Shape{2, 6})); }),
            "HRC position embeddings must have a second dimension that is a multiple of 4.");

  // 31 | 0xFF << 8 | 0x20 << 16; 0 | 0x12 << 8 | 0x1F << 16
  EXPECT_EQ(format_hrc_pos_embs_params(*u8({31, 0}), *s8({-32, 31}), *u8({0xFF, 0x12})), (Words{0x20FF1F, 0x1F1200}));
  EXPECT_EQ(thrown<std::runtime_error>([] { format_hrc_pos_embs_params(*u8({0}), *s8({32}), *u8({0})); }),
            "32 cannot fit in a 6 bits signed integer.");
}

}  // namespace
}  // namespace ornix::program
