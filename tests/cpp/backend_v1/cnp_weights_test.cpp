#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "backend/v1/cnp_weight_format.h"
#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/cnp_weight_stream.h"
#include "engine/layer_fixtures.h"

namespace ornix::v1 {
namespace {

using test::throws_text;
using Words = std::vector<uint32_t>;

// An int8 tensor of `shape` in `layout` holding `values` in storage order.
std::shared_ptr<Dense> tensor(const Shape& shape, const std::vector<int8_t>& values, Layout layout = Layout::Reversed) {
  return Dense::copy(values.data(), values.size(), TensorType::int8, shape, layout);
}

// (filters, channels, k, k) kernels of zeros with the given (filter, channel, row, column) = value.
std::shared_ptr<Dense> kernels(uint32_t filters, uint32_t channels, uint32_t k,
                               std::initializer_list<std::pair<std::array<uint32_t, 4>, int8_t>> set) {
  auto t = Dense::create(TensorType::int8, Shape{filters, channels, k, k}, Layout::Reversed);
  for (const auto& [at, value] : set) t->data<int8_t>()[t->offset_of({at[0], at[1], at[2], at[3]})] = value;
  return t;
}

// Plain per-bit packers, written from the layout rules one value at a time.
namespace reference {

void set(Words& w, size_t bit) { w.at(bit / 32) |= 1u << (bit % 32); }
uint32_t up(uint32_t n, uint32_t m) { return (n + m - 1) / m * m; }

Words standard(const Dense& t, bool two_bit, uint32_t first, uint32_t f) {
  const uint32_t k = t.shape()[3], c_count = t.shape()[1];
  const uint32_t table[] = {0, 48, 0, 5, 0, 2, 0, 1};
  if (table[k] == 0) return {};
  two_bit = two_bit || k == 1;
  const uint32_t slots = (up(f, 8) * (two_bit ? 2 : 1) + table[k] - 1) / table[k];
  const uint32_t block = up(8 * slots, 64) / 4, limit = k == 1 ? 48 : 50;
  Words w(block * c_count, 0);
  for (uint32_t c = 0; c < c_count; ++c) {
    uint32_t p = 0, u = 0;
    for (uint32_t j = first; j < first + f; ++j) {
      for (int sign : {1, -1}) {
        if (sign == -1 && !two_bit) break;
        for (uint32_t i = 0; i < k * k; ++i) {
          if (t.at<int8_t>({j, c, i / k, i % k}) == sign) set(w, 32 * block * c + p + i);
        }
        const uint32_t g = k * k + (k == 3 || k == 7 ? 1 : 0);
        p += g;
        u += g;
        if (u % limit == 0) p = up(p, 64);
      }
    }
  }
  return w;
}

uint32_t code4(int v) { return std::abs(v) % 8 + (v > 0 ? 8 : 0); }

Words four_bit(const Dense& t, uint32_t first, uint32_t f) {
  const uint32_t k = t.shape()[3], c_count = t.shape()[1];
  const uint32_t block = get_std_cnp_sram_size(k, 1, f, 4);
  Words w(block * c_count, 0);
  for (uint32_t c = 0; c < c_count; ++c) {
    const size_t base = size_t{32} * block * c;
    if (k == 1) {
      for (uint32_t j = 0; j < f; ++j) {
        for (uint32_t b = 0; b < 4; ++b) {
          if (code4(t.at<int8_t>({first + j, c, 0, 0})) >> b & 1) set(w, base + 64 * (j / 12) + 4 * (j % 12) + b);
        }
      }
      continue;
    }
    const uint32_t limit = k == 3 ? 48 : 50, group_words = k == 3 ? 12 : k == 5 ? 32 : 84;
    for (uint32_t g = 0; g * 8 < f; ++g) {
      size_t slot = g * group_words / 2;
      uint32_t q = 0;
      auto next = [&] { ++slot, q = 0; };
      for (uint32_t r = 0; r < k; ++r) {
        for (uint32_t jj = 0; jj < 8; ++jj) {
          for (uint32_t col = 0; col < k; ++col) {
            const uint32_t j = g * 8 + jj;
            const uint32_t code = j < f ? code4(t.at<int8_t>({first + j, c, r, col})) : 0;
            for (uint32_t b = 0; b < 4; ++b) {
              if (q == limit) next();
              if (code >> b & 1) set(w, base + 64 * slot + q);
              ++q;
            }
          }
          if (k == 7 && jj % 3 == 2 && q > 0) next();
        }
        if (k == 7 && q > 0) next();
      }
    }
  }
  return w;
}

uint32_t code(int v, int wb) { return static_cast<uint32_t>(v) & ((1u << wb) - 1); }

Words depthwise(const Dense& t, int wb) {
  const uint32_t k = t.shape()[3], c_count = t.shape()[1], r = wb * k;
  Words w(dw_weights_stream_words(int(k), c_count, wb), 0);
  size_t slot = 0;
  uint32_t q = 0;
  for (uint32_t c = 0; c < c_count; ++c) {
    for (uint32_t row = 0; row < k; ++row) {
      if (q + r > 50) ++slot, q = 0;
      for (uint32_t col = 0; col < k; ++col) {
        for (int b = 0; b < wb; ++b) {
          if (code(t.at<int8_t>({0, c, row, col}), wb) >> b & 1) set(w, 64 * slot + q);
          ++q;
        }
      }
    }
    if (q + k * r > 50) ++slot, q = 0;
  }
  return w;
}

Words pointwise(const Dense& t, int wb, uint32_t first, uint32_t f) {
  const uint32_t slots = get_nb_words_per_pw_channel(f, wb);
  Words w(2 * slots * t.shape()[0], 0);
  for (uint32_t c = 0; c < t.shape()[0]; ++c) {
    for (uint32_t j = 0; j < f; ++j) {
      const uint32_t per_slot = 48 / wb;
      for (int b = 0; b < wb; ++b) {
        if (code(t.at<int8_t>({c, first + j}), wb) >> b & 1) {
          set(w, 64 * (slots * c + j / per_slot) + wb * (j % per_slot) + b);
        }
      }
    }
  }
  return w;
}

}  // namespace reference

std::shared_ptr<Dense> random_tensor(std::mt19937& rng, const Shape& shape, int low, int high, Layout layout) {
  std::uniform_int_distribution<int> value(low, high);
  std::vector<int8_t> values(shape.element_count());
  for (int8_t& v : values) v = static_cast<int8_t>(value(rng));
  return tensor(shape, values, layout);
}

TEST(CnpWeightFormat, PackersMatchPerBitReferenceOnRandomTensors) {
  std::mt19937 rng(7);
  const struct { uint32_t first, filters; } ranges[] = {{0, 1}, {0, 13}, {3, 8}, {2, 17}, {0, 25}};
  for (Layout layout : {Layout::Reversed, Layout::RowMajor}) {
    for (const auto& [first, f] : ranges) {
      for (uint32_t k = 1; k <= 7; ++k) {
        const Shape shape{first + f + 1, 3, k, k};
        const auto t = random_tensor(rng, shape, -2, 1, layout);
        for (bool two_bit : {false, true}) {
          EXPECT_EQ(format_std_cnp_weights(t, two_bit, first, f), reference::standard(*t, two_bit, first, f))
              << "k" << k << " two_bit " << two_bit << " first " << first << " f " << f;
        }
        if (k % 2 == 1) {
          const auto t4 = random_tensor(rng, shape, -8, 7, layout);
          EXPECT_EQ(format_4bits_std_cnp_weights(*t4, first, f), reference::four_bit(*t4, first, f)) << "k" << k;
        }
      }
      for (int wb : {2, 4}) {
        const int low = -(1 << (wb - 1)), high = (1 << (wb - 1)) - 1;
        const auto pw = random_tensor(rng, Shape{5, first + f}, low, high, layout);
        EXPECT_EQ(format_sep_cnp_pw_weights(*pw, wb, first, f), reference::pointwise(*pw, wb, first, f)) << wb;
        for (uint32_t k : {1u, 3u, 5u, 7u}) {
          const auto dw = random_tensor(rng, Shape{1, f, k, k}, low, high, layout);
          EXPECT_EQ(format_sep_cnp_dw_weights(*dw, wb), reference::depthwise(*dw, wb)) << "k" << k << " wb" << wb;
        }
      }
    }
  }
}

// One bit a group at (0, 1) and (2, 2): mask 0x102; groups of 10 bits, five to a slot.
TEST(CnpWeightFormat, Standard3x3OneBitPutsFiveFiltersInASlot) {
  auto t = kernels(6, 1, 3, {});
  for (uint32_t j = 0; j < 6; ++j) {
    t->data<int8_t>()[t->offset_of({j, 0, 0, 1})] = 1;
    t->data<int8_t>()[t->offset_of({j, 0, 2, 2})] = 1;
    t->data<int8_t>()[t->offset_of({j, 0, 1, 1})] = -1;  // no bit in the 1-bit layout
  }
  Words expected(16, 0);
  expected[0] = 0x90240902;  // groups at 0, 10, 20, 30 (bits 31 and 38)
  expected[1] = 0x00010240;  // bit 38, group at 40
  expected[2] = 0x00000102;  // the sixth filter at bit 64
  EXPECT_EQ(format_std_cnp_weights(t, false, 0, 6), expected);
}

TEST(CnpWeightFormat, StandardTwoBitPutsPositiveThenNegativeBits) {
  auto t = kernels(3, 1, 3, {});
  for (uint32_t j = 0; j < 3; ++j) {
    t->data<int8_t>()[t->offset_of({j, 0, 0, 1})] = 1;   // positive mask 0x2
    t->data<int8_t>()[t->offset_of({j, 0, 2, 2})] = -1;  // negative mask 0x100
  }
  Words expected(16, 0);
  expected[0] = 0x00240002;  // f0 + @0, f0 - @10, f1 + @20
  expected[1] = 0x00000240;  // f1 - @30, f2 + @40
  expected[2] = 0x00000100;  // f2 - @64
  EXPECT_EQ(format_std_cnp_weights(t, true, 0, 3), expected);

  // 1x1 always takes two bits: filter j at bits 2j (+) and 2j + 1 (-), 24 a slot.
  std::vector<int8_t> alternating(25);
  for (size_t j = 0; j < alternating.size(); ++j) alternating[j] = j % 2 == 0 ? 1 : -1;
  Words expected1x1(16, 0);
  expected1x1[0] = 0x99999999;
  expected1x1[1] = 0x00009999;
  expected1x1[2] = 0x00000001;
  EXPECT_EQ(format_std_cnp_weights(tensor(Shape{25, 1, 1, 1}, alternating), false, 0, 25), expected1x1);
}

TEST(CnpWeightFormat, FourBitCodesAndSlotSplits) {
  // 1x1: codes -8 -> 0, -3 -> 3, 3 -> 0xB, 7 -> 0xF, 1 -> 9, -1 -> 1; twelve to a slot.
  const std::vector<int8_t> values = {-8, -3, 3, 7, 1, 1, 1, 1, 1, 1, 1, 1, -1};
  Words expected1x1(32, 0);
  expected1x1[0] = 0x9999FB30;
  expected1x1[1] = 0x00009999;
  expected1x1[2] = 0x00000001;
  EXPECT_EQ(format_4bits_std_cnp_weights(*tensor(Shape{13, 1, 1, 1}, values), 0, 13), expected1x1);

  // 5x5: filter 0 row 4 starts at stream bit 640 = slot 12 bit 40; its third code straddles
  // slots 12 and 13. Filter 8 opens the second group at word 32.
  const auto k5 = kernels(9, 1, 5,
                          {{{0, 0, 4, 0}, 1}, {{0, 0, 4, 1}, 2}, {{0, 0, 4, 2}, 5}, {{0, 0, 4, 3}, -3},
                           {{0, 0, 4, 4}, -7}, {{8, 0, 0, 0}, 7}});
  Words expected5x5(64, 0);
  expected5x5[25] = 0x0001A900;  // 9 @40, 0xA @44, 0xD low bits 01 @48
  expected5x5[26] = 0x000001CF;  // 0xD high bits 11 @0, 3 @2, 7 @6
  expected5x5[32] = 0x0000000F;
  EXPECT_EQ(format_4bits_std_cnp_weights(*k5, 0, 9), expected5x5);

  // 7x7: row 0 takes slots 0-5 (breaks after filters 2 and 5 and at the row end); row 1 opens slot 6.
  const auto k7 = kernels(8, 1, 7,
                          {{{0, 0, 0, 0}, 1}, {{1, 0, 0, 5}, 6}, {{2, 0, 0, 6}, -5}, {{3, 0, 0, 0}, 2},
                           {{7, 0, 0, 6}, 3}, {{0, 0, 1, 0}, -1}});
  Words expected7x7(96, 0);
  expected7x7[0] = 0x9;
  expected7x7[1] = 0x00020000;  // code 0xE at slot bits 48-51: 10 here
  expected7x7[2] = 0x40000003;  // ... 11 here; code 5 at bits 80-83 = slot 1 bits 30-33
  expected7x7[3] = 0x1;
  expected7x7[4] = 0xA;   // filter 3 opens slot 2
  expected7x7[10] = 0x2C;  // filter 7 column 6 at slot 5 bits 2-5
  expected7x7[12] = 0x1;  // row 1
  EXPECT_EQ(format_4bits_std_cnp_weights(*k7, 0, 8), expected7x7);
}

TEST(CnpWeightFormat, SeparableStreams) {
  // 5x5 4-bit depthwise: rows of 20 bits, two to a slot; the next channel opens slot 3.
  const auto dw5 = kernels(1, 2, 5,
                           {{{0, 0, 0, 0}, 1}, {{0, 0, 0, 1}, 2}, {{0, 0, 0, 2}, 3}, {{0, 0, 0, 3}, -1},
                            {{0, 0, 0, 4}, -8}, {{0, 0, 2, 0}, 7}, {{0, 1, 0, 0}, -2}});
  Words expected_dw5(12, 0);
  expected_dw5[0] = 0x8F321;
  expected_dw5[2] = 0x7;
  expected_dw5[6] = 0xE;
  EXPECT_EQ(format_sep_cnp_dw_weights(*dw5, 4), expected_dw5);
  // 3x3 2-bit: kernels of 18 bits, two to a slot.
  const auto dw3 = kernels(1, 3, 3, {{{0, 0, 2, 2}, -1}, {{0, 1, 0, 0}, 1}, {{0, 1, 2, 2}, -2}, {{0, 2, 0, 0}, -1}});
  EXPECT_EQ(format_sep_cnp_dw_weights(*dw3, 2), (Words{0x00070000, 0x8, 0x3, 0}));

  // Pointwise 4-bit: twelve codes fill bits 0-47, the thirteenth opens the next slot.
  std::vector<int8_t> row(13);
  for (size_t j = 0; j < row.size(); ++j) row[j] = static_cast<int8_t>(int(j % 8) - 4);  // codes C D E F 0 1 2 3
  row[12] = -4;
  EXPECT_EQ(format_sep_cnp_pw_weights(*tensor(Shape{1, 13}, row, Layout::RowMajor), 4, 0, 13),
            (Words{0x3210FEDC, 0xFEDC, 0xC, 0}));
}

// Depthwise channels are coded a tile at a time: many channels still match the reference, and
// the weight refused is the first out of range in channel, row, column order, whichever tile
// it lies in.
TEST(CnpWeightFormat, DepthwiseTilesMatchTheReferenceAndRefuseInChannelOrder) {
  std::mt19937 rng(9);
  for (const Layout layout : {Layout::Reversed, Layout::RowMajor}) {
    for (const uint32_t k : {3u, 5u}) {
      const auto dw = random_tensor(rng, Shape{1, 150, k, k}, -8, 7, layout);
      EXPECT_EQ(format_sep_cnp_dw_weights(*dw, 4), reference::depthwise(*dw, 4)) << "k" << k;
    }
  }
  const struct {
    std::vector<std::pair<std::array<uint32_t, 4>, int8_t>> set;
    const char* refused;
  } cases[] = {
      {{{{0, 70, 0, 0}, 9}, {{0, 66, 2, 2}, -9}}, "-9 cannot fit in a 4 bits signed integer."},
      {{{{0, 100, 0, 0}, -20}, {{0, 3, 1, 1}, 12}}, "12 cannot fit in a 4 bits signed integer."},
  };
  for (const auto& c : cases) {
    auto dw = Dense::create(TensorType::int8, Shape{1, 130, 3, 3}, Layout::Reversed);
    for (const auto& [at, value] : c.set) dw->data<int8_t>()[dw->offset_of({at[0], at[1], at[2], at[3]})] = value;
    EXPECT_THAT([&] { format_sep_cnp_dw_weights(*dw, 4); }, throws_text<std::runtime_error>(c.refused));
  }
}

// Filters are gathered a channel at a time and streamed as whole records: ranges that fill
// several slots of 1x1 pairs (24 to a slot) and wrap records across many slots still match the
// reference, in both layouts.
TEST(CnpWeightFormat, StandardRunsOverManySlotsMatchTheReference) {
  std::mt19937 rng(11);
  const struct { uint32_t first, filters; } ranges[] = {{0, 47}, {0, 48}, {1, 49}, {5, 100}};
  for (Layout layout : {Layout::Reversed, Layout::RowMajor}) {
    for (const auto& [first, f] : ranges) {
      for (uint32_t k : {1u, 3u, 5u, 7u}) {
        const auto t = random_tensor(rng, Shape{first + f, 2, k, k}, -1, 1, layout);
        for (bool two_bit : {false, true}) {
          EXPECT_EQ(format_std_cnp_weights(t, two_bit, first, f), reference::standard(*t, two_bit, first, f))
              << "k" << k << " two_bit " << two_bit << " first " << first << " f " << f;
        }
      }
    }
  }
}

// A run of values lands exactly where the same values put one by one do, whatever the width and
// the slot they wrap at; a slot past the end of the words is refused with the packers' message.
TEST(CnpWeightFormat, SlotWriterRunsMatchSingleValues) {
  std::mt19937 rng(13);
  const struct { uint32_t width, limit, start; } cases[] = {
      {2, 48, 0}, {10, 50, 0}, {20, 50, 7}, {25, 50, 0}, {50, 50, 0}, {49, 50, 1}, {36, 48, 11},
  };
  for (const auto& c : cases) {
    std::vector<uint64_t> values(37);
    for (auto& v : values) v = rng() & ((uint64_t{1} << c.width) - 1);
    Words one_by_one(2 * 40, 0), run(2 * 40, 0);
    SlotWriter single(one_by_one, 1), whole(run, 1);
    single.put(uint64_t{c.start != 0}, c.start);  // a run may start inside a slot
    whole.put(uint64_t{c.start != 0}, c.start);
    for (uint64_t v : values) single.put_wrapped(v, c.width, c.limit);
    whole.put_run(values.data(), values.size(), c.width, c.limit);
    single.flush();
    whole.flush();
    EXPECT_EQ(run, one_by_one) << "width " << c.width << " limit " << c.limit << " start " << c.start;
  }
  Words two_slots(4, 0);
  SlotWriter writer(two_slots, 1);
  writer.put(1, 1);
  writer.next_slot();
  writer.put(1, 1);
  EXPECT_THAT([&] { writer.flush(); },
              throws_text<std::out_of_range>("A CNP weight slot lies past the end of its weight stream."));
  EXPECT_EQ(two_slots, (Words{0, 0, 1, 0}));
}

// The three forms of one per-NP packer: a two-dimensional tensor is a pointwise matrix, else
// standard kernels of 1, 2 or 4 bits.
struct PackerForms {
  std::function<size_t()> words;
  std::function<void(std::span<uint32_t>)> pack;
  std::function<Words()> format;
};

PackerForms forms_of(const std::shared_ptr<Dense>& t, int bits, uint32_t first, uint32_t f) {
  if (t->shape().size() == 2) {
    return {[=] { return sep_cnp_pw_weight_words(*t, bits, first, f); },
            [=](std::span<uint32_t> w) { pack_sep_cnp_pw_weights(*t, bits, first, f, w); },
            [=] { return format_sep_cnp_pw_weights(*t, bits, first, f); }};
  }
  if (bits == 4) {
    return {[=] { return std_cnp_4bit_weight_words(*t, first, f); },
            [=](std::span<uint32_t> w) { pack_4bits_std_cnp_weights(*t, first, f, w); },
            [=] { return format_4bits_std_cnp_weights(*t, first, f); }};
  }
  return {[=] { return std_cnp_weight_words(*t, bits == 2, first, f); },
          [=](std::span<uint32_t> w) { pack_std_cnp_weights(*t, bits == 2, first, f, w); },
          [=] { return format_std_cnp_weights(t, bits == 2, first, f); }};
}

// The type and text of what `call` throws; empty when it returns.
std::string failure_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& e) {
    return std::string(typeid(e).name()) + " " + e.what();
  }
  return "";
}

template <typename Error>
std::string failure(const std::string& text) {
  return std::string(typeid(Error).name()) + " " + text;
}

// Streams packed in place, between guard words, are those the packers return, and take exactly
// the words their size gives: shapes whose last slot, group or block is partly filled, filter
// ranges that start past filter 0, both layouts. Words one more or one less are refused.
TEST(CnpWeightFormat, PackedInPlaceTheStreamsAreTheReturnedOnes) {
  const struct {
    const char* name;
    Shape shape;
    int bits;
    uint32_t first, filters;
  } cases[] = {
      {"1-bit 3x3, 13 filters from 3", Shape{17, 3, 3, 3}, 1, 3, 13},
      {"2-bit 1x1, 25 filters: a pair past the first slot", Shape{26, 2, 1, 1}, 2, 1, 25},
      {"2-bit 5x5, 9 filters from 2", Shape{12, 2, 5, 5}, 2, 2, 9},
      {"1-bit 7x7, 7 filters from 1", Shape{9, 2, 7, 7}, 1, 1, 7},
      {"2-bit 4x4: an empty stream", Shape{4, 2, 4, 4}, 2, 0, 4},
      {"4-bit 1x1, 13 filters: one code past a slot", Shape{15, 3, 1, 1}, 4, 2, 13},
      {"4-bit 3x3, 9 filters: a group of one", Shape{10, 2, 3, 3}, 4, 1, 9},
      {"4-bit 5x5, 5 filters from 4", Shape{12, 2, 5, 5}, 4, 4, 5},
      {"4-bit 7x7, 8 filters from 3", Shape{11, 1, 7, 7}, 4, 3, 8},
      {"pointwise 2-bit, 26 filters: past one slot", Shape{3, 30}, 2, 4, 26},
      {"pointwise 4-bit, 13 filters from 1", Shape{4, 14}, 4, 1, 13},
  };
  const Words guard{0xA5A5A5A5, 0x5A5A5A5A, 0xFFFFFFFF};
  const auto framed = [&](const Words& words) {
    Words guarded = guard;
    guarded.insert(guarded.end(), words.begin(), words.end());
    guarded.insert(guarded.end(), guard.begin(), guard.end());
    return guarded;
  };
  std::mt19937 rng(17);
  for (Layout layout : {Layout::Reversed, Layout::RowMajor}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const bool standard = c.shape.size() == 4 && c.bits != 4;
      const int high = standard ? 1 : (1 << (c.bits - 1)) - 1;
      const auto t = random_tensor(rng, c.shape, standard ? -2 : -high - 1, high, layout);
      const PackerForms forms = forms_of(t, c.bits, c.first, c.filters);
      const Words expected = forms.format();
      ASSERT_EQ(forms.words(), expected.size());
      EXPECT_EQ(expected.empty(), c.shape.size() == 4 && c.shape[3] == 4);

      Words buffer = framed(Words(expected.size(), 0));
      forms.pack(std::span<uint32_t>(buffer).subspan(guard.size(), expected.size()));
      EXPECT_EQ(buffer, framed(expected));

      Words other(expected.size() + 1, 0);
      for (size_t size : {expected.size() + 1, expected.size() - 1}) {
        if (size > other.size()) continue;  // an empty stream has no shorter words
        EXPECT_THAT([&] { forms.pack(std::span<uint32_t>(other).first(size)); },
                    throws_text<std::out_of_range>(
                        "The words given to a CNP weight packer do not match the size of its stream."))
            << size;
      }
    }
  }
}

// A size is refused as the packer refuses the same arguments, with the first failure the packer
// meets (here inputs with several faults), before it looks at the words it is given.
TEST(CnpWeightFormat, SizesRefuseWhatThePackersRefuseFirst) {
  const auto wide = Dense::create(TensorType::int8, Shape{2, 1, 3, 5}, Layout::Reversed);
  const auto flat = Dense::create(TensorType::int8, Shape{2, 9, 9}, Layout::Reversed);
  const auto k2 = kernels(2, 1, 2, {});
  const auto k9 = kernels(2, 1, 9, {});
  const auto pw = Dense::create(TensorType::int8, Shape{3, 4}, Layout::RowMajor);
  const std::string range = "The filter range goes past the last filter of the weights tensor.";
  const struct {
    const char* name;
    std::shared_ptr<Dense> weights;
    int bits;
    uint32_t first, filters;
    std::string failure;
  } cases[] = {
      {"rank 3", flat, 1, 0, 9, failure<std::invalid_argument>("CNP weights must be a four-dimensional tensor.")},
      {"not square, range past", wide, 2, 1, 2, failure<std::runtime_error>("CNP: width and height must be equal.")},
      {"range past", k9, 2, 1, 2, failure<std::invalid_argument>(range)},
      {"kernel 9", k9, 1, 0, 2, failure<std::runtime_error>("Unsupported kernel size")},
      {"4-bit kernel 2", k2, 4, 0, 2, failure<std::runtime_error>("Unsupported kernel size")},
      {"4-bit range past", k2, 4, 2, 1, failure<std::invalid_argument>(range)},
      {"pointwise 3 bits, range past", pw, 3, 3, 2,
       failure<std::invalid_argument>("Separable CNP weights must be 2 or 4 bits wide.")},
      {"pointwise range past", pw, 2, 3, 2, failure<std::invalid_argument>(range)},
  };
  for (const auto& c : cases) {
    const PackerForms forms = forms_of(c.weights, c.bits, c.first, c.filters);
    EXPECT_EQ(failure_of([&] { forms.words(); }), c.failure) << c.name;
    EXPECT_EQ(failure_of([&] { forms.format(); }), c.failure) << c.name;
    EXPECT_EQ(failure_of([&] { forms.pack({}); }), c.failure) << c.name;
  }
}

TEST(CnpWeightFormat, RefusesWhatItCannotPack) {
  const auto wide = Dense::create(TensorType::int8, Shape{2, 1, 3, 5}, Layout::Reversed);
  const auto square = kernels(2, 1, 3, {});
  EXPECT_THAT([&] { format_std_cnp_weights(wide, false, 0, 2); },
              throws_text<std::runtime_error>("CNP: width and height must be equal."));
  EXPECT_THAT([&] { format_4bits_std_cnp_weights(*kernels(2, 1, 2, {}), 0, 2); },
              throws_text<std::runtime_error>("Unsupported kernel size"));
  EXPECT_THAT([&] { format_std_cnp_weights(square, false, 1, 2); },
              throws_text<std::invalid_argument>("The filter range goes past the last filter of the weights tensor."));
  EXPECT_THAT([&] { format_sep_cnp_dw_weights(*square, 1); },
              throws_text<std::invalid_argument>("Separable CNP weights must be 2 or 4 bits wide."));
  EXPECT_THAT([] { format_sep_cnp_pw_weights(*tensor(Shape{1, 2}, {0, -8}, Layout::RowMajor), 2, 0, 2); },
              throws_text<std::runtime_error>("-8 cannot fit in a 2 bits signed integer."));
}

}  // namespace
}  // namespace ornix::v1
