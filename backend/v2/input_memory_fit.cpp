// The NP input-memory fits of the generation-2 checker. The needed size is computed in 64-bit
// arithmetic that saturates, so no chunk is ever reported as fitting because a product wrapped.

#include <cstdint>
#include <limits>
#include <stdexcept>

#include "backend/v2/checker_limits.h"
#include "backend/v2/checker_messages.h"
#include "backend/v2/compatibility_checker.h"

namespace ornix::v2 {

namespace {

constexpr uint64_t kSaturated = std::numeric_limits<uint64_t>::max();

uint64_t mul(uint64_t a, uint64_t b) {
  uint64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? kSaturated : product;
}

uint64_t ceil_div(uint64_t value, uint64_t divisor) { return value / divisor + (value % divisor != 0 ? 1 : 0); }

uint64_t round_up(uint64_t value, uint64_t multiple) { return mul(ceil_div(value, multiple), multiple); }

// 32-bit words one NP needs to hold the chunk.
uint64_t needed_input_words(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                            uint32_t extra_buffers, uint8_t bits) {
  switch (type) {
    case hw::Type::CNP1:
    case hw::Type::CNP2: {
      const uint64_t row_bytes = round_up(ceil_div(mul(bits, width), 8), kCnpRowAlignBytes);
      return mul(height, mul(row_bytes, channels) / 4);
    }
    case hw::Type::TNP_B: {
      const uint64_t bits_total = mul(mul(mul(round_up(channels, kTnpBChannelGroup), height), bits), width);
      return mul(round_up(ceil_div(bits_total, 32), kTnpBInputBlockWords), uint64_t{1} + extra_buffers);
    }
    default:
      throw std::runtime_error(kMsgNpTypeNotSupported);
  }
}

bool fits(uint32_t budget, hw::Type type, uint32_t height, uint32_t width, uint32_t channels, uint32_t extra_buffers,
          uint8_t bits, uint32_t reserved) {
  const uint64_t needed = needed_input_words(type, height, width, channels, extra_buffers, bits);
  return reserved <= budget && needed <= budget - reserved;
}

}  // namespace

bool CompatibilityCheckerImpl::is_sram_input_fit_single_buffer(hw::Type type, uint32_t height, uint32_t width,
                                                               uint32_t channels, uint32_t fifo_size,
                                                               uint8_t input_bits, uint32_t reserved) const {
  return fits(constraints->input_sram_single_buffer_size, type, height, width, channels, fifo_size, input_bits,
              reserved);
}

bool CompatibilityCheckerImpl::is_sram_input_fit_dual_buffer(hw::Type type, uint32_t height, uint32_t width,
                                                             uint32_t channels, uint32_t fifo_size,
                                                             uint8_t input_bits, uint32_t reserved) const {
  return fits(constraints->input_sram_dual_buffer_size, type, height, width, channels, fifo_size, input_bits,
              reserved);
}

}  // namespace ornix::v2
