#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

#include "backend_v2/real_model.h"

// The engine's program reader and the device's loader over real programs, mutated: a fixed
// number of seeded cases of bit flips, truncations, changed size prefixes and info parts grown
// by a few bytes (which leave the data part at any alignment).

namespace ornix::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kCasesPerProgram = 400;

// input 8x8x8 -> a (8) -> b (8) -> add(a, b) -> c (16), then -> dequantizer when asked.
Bytes real_program(bool dequantized) {
  RealModel m({8, 8, 8});
  const auto a = m.add(LayerType::Conv2D, conv_params(3, 8), "a");
  m.add(LayerType::Add, {}, "add", {a, m.add(LayerType::Conv2D, conv_params(3, 8), "b")});
  m.add(LayerType::Conv2D, conv_params(1, 16), "c");
  if (dequantized) {
    m.add(LayerType::Dequantizer, {}, "out")->variables().set("scales", Dense::create(TensorType::float32, Shape{16}));
  }
  EXPECT_EQ(m.map(), "");
  const Sequence::Bytes program = m.sequence(0)->program();
  return Bytes(program.data, program.data + program.size);
}

uint32_t prefix_at(const Bytes& bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof(value));
  return value;
}
void set_prefix(Bytes* bytes, size_t at, uint32_t value) { std::memcpy(bytes->data() + at, &value, sizeof(value)); }

// The output shape, or nothing when the reader refuses the bytes; other exceptions escape.
std::optional<std::vector<uint32_t>> output_shape(const Bytes& bytes) {
  try {
    return ProgramInfo(bytes.data(), bytes.size()).output_shape();
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

// The info part grown by `extra` zero bytes, its prefix raised to match: nothing read changes.
Bytes with_longer_info(const Bytes& program, uint32_t extra) {
  const uint32_t info = prefix_at(program, 0);
  Bytes grown(program);
  grown.insert(grown.begin() + 4 + info, extra, 0);
  set_prefix(&grown, 0, info + extra);
  return grown;
}

TEST(ProgramReaderFuzz, MutatedRealProgramsAreReadOrRefusedCleanly) {
  SimulatedDriver driver;
  driver.set_version({0xD3, 0xA2, 0x01, 0x00});
  const auto device = HardwareDevice::create(&driver);
  for (const bool dequantized : {false, true}) {
    const Bytes program = real_program(dequantized);
    const auto original = output_shape(program);
    ASSERT_TRUE(original.has_value());
    std::mt19937 random(dequantized ? 7 : 11);
    const auto below = [&random](size_t end) { return std::uniform_int_distribution<size_t>(0, end - 1)(random); };
    for (int i = 0; i < kCasesPerProgram; ++i) {
      Bytes mutated = program;
      if (i % 4 == 0) mutated[below(mutated.size())] ^= static_cast<uint8_t>(1u << below(8));
      if (i % 4 == 1) mutated.resize(below(mutated.size()));
      if (i % 4 == 2) {  // either prefix, nudged or replaced
        const size_t at = below(2) == 0 ? 0 : 4 + prefix_at(program, 0);
        const uint32_t nudged = prefix_at(program, at) + static_cast<uint32_t>(below(17)) - 8;
        set_prefix(&mutated, at, below(2) == 0 ? nudged : static_cast<uint32_t>(random()));
      }
      if (i % 4 == 3) {
        mutated = with_longer_info(program, 1 + static_cast<uint32_t>(below(7)));
        EXPECT_EQ(output_shape(mutated), original) << "case " << i;
      }
      output_shape(mutated);
      device->program(mutated.data(), mutated.size());
    }
  }
  // The loader takes the output geometry of a program whose data part is misaligned.
  const Bytes shifted = with_longer_info(real_program(false), 2);
  device->program(shifted.data(), shifted.size());
  device->prepare_run(1, true);
  const auto outputs = device->forward({Dense::create(TensorType::uint8, Shape{8, 8, 8})});
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(outputs[0]->shape(), (Shape{8, 8, 16}));
}

}  // namespace
}  // namespace ornix::test
