#include "backend/v2/fnp_register_format.h"

#include <cstddef>
#include <limits>
#include <stdexcept>

#include "backend/v2/fnp_limits.h"
#include "backend/v2/fnp_messages.h"
#include "backend/v2/fnp_recording_messages.h"
#include "backend/v2/fnp_registers.h"
#include "backend/v2/fnp_sizes.h"
#include "backend/v2/recorder_messages.h"
#include "ornix/panic.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }
constexpr uint64_t ceil_div(uint64_t value, uint64_t divisor) { return (value + divisor - 1) / divisor; }

void put(NpRegisterBlock regs, std::size_t word, const RegDetail& field, uint64_t value) {
  // A value computed in 64 bits: one beyond 32 bits panics with its full value.
  if (value > std::numeric_limits<uint32_t>::max()) {
    panic(kMsgWideFieldOverflowFormat, static_cast<unsigned long long>(value), field.width);
  }
  set_field(&regs[word], field, static_cast<uint32_t>(value));
}

// The width code of 4- or 8-bit data; anything else throws `message`.
uint32_t width_code(uint8_t bits, const char* message) {
  if (bits == kFnp4Bits) return fnp::kCode4Bits;
  if (bits == kFnp8Bits) return fnp::kCode8Bits;
  throw std::runtime_error(message);
}

uint32_t output_code(uint8_t bits) {
  if (bits == kFnp4Bits) return fnp::kCode4Bits;
  if (bits >= kFnp8Bits && bits <= kFnpAccumulatorBits32) return fnp::kCode8Bits;
  throw std::runtime_error(kMsgFnpWrongOutputBits);
}

// [25] 0 | [24] FNP3 | [22] single buffer | [20] 0 | [4] 1
void write_control(NpRegisterBlock regs, bool internal_memory, bool single_buffer) {
  put(regs, fnp::kWordControl, fnp::REG1_BIT4, 1);
  put(regs, fnp::kWordControl, fnp::REG1_BIT20, 0);
  put(regs, fnp::kWordControl, fnp::REG1_SINGLE_BUFFER, bit(single_buffer));
  put(regs, fnp::kWordControl, fnp::REG1_INTERNAL_MEMORY, bit(internal_memory));
  put(regs, fnp::kWordControl, fnp::REG1_BIT25, 0);
}

// [23:16] 1 | [15] activation | [14] unrectified | [13:12] output | [7] 1 | [5:4] weights | [3] 0 | [1:0] input
void write_formats(NpRegisterBlock regs, uint8_t input_bits, uint8_t weights_bits, uint8_t output_bits,
                   bool activation) {
  put(regs, fnp::kWordFormats, fnp::REG3_INPUT_CODE, width_code(input_bits, kMsgFnpWrongInputBits));
  put(regs, fnp::kWordFormats, fnp::REG3_BIT3, 0);
  put(regs, fnp::kWordFormats, fnp::REG3_WEIGHTS_CODE, width_code(weights_bits, kMsgFnpWrongWeightsBits));
  put(regs, fnp::kWordFormats, fnp::REG3_BIT7, 1);
  put(regs, fnp::kWordFormats, fnp::REG3_OUTPUT_CODE, output_code(output_bits));
  put(regs, fnp::kWordFormats, fnp::REG3_UNRECTIFIED, bit(output_bits <= kFnp8Bits && !activation));
  put(regs, fnp::kWordFormats, fnp::REG3_ACTIVATION, bit(activation));
  put(regs, fnp::kWordFormats, fnp::REG3_BITS16_23, 1);
}

// Bytes L of one input line and 32-bit words of one input row; both 0 for a packed input.
struct RowSizes {
  uint64_t line_bytes = 0;
  uint64_t row_words = 0;
};

RowSizes row_sizes(const Shape& shape, uint8_t input_bits, InputPadding padding) {
  const uint64_t bytes = ceil_div(uint64_t{input_bits} * shape[0], kFnpByteBits);
  const uint64_t channels = shape[2];
  switch (padding) {
    case InputPadding::Packed:
      return {};
    case InputPadding::RowAligned:
      return {bytes, ceil_div(bytes * channels, kFnpWordBytes)};
    case InputPadding::ChannelRowAligned: {
      const uint64_t line = ceil_div(bytes, kFnpWordBytes) * kFnpWordBytes;
      return {line, line * channels / kFnpWordBytes};
    }
    default:
      throw std::runtime_error(kMsgUnsupportedPadding);
  }
}

// [26:16] x | [10:0] y; [29:12] L; [31:16] L | [13:0] row words
void write_input_shape(NpRegisterBlock regs, const Shape& shape, uint8_t input_bits, InputPadding padding) {
  put(regs, fnp::kWordInputShape, fnp::REG10_INPUT_ROWS, shape[1]);
  put(regs, fnp::kWordInputShape, fnp::REG10_INPUT_COLUMNS, shape[0]);
  const RowSizes row = row_sizes(shape, input_bits, padding);
  put(regs, fnp::kWordLine, fnp::REG11_LINE_BYTES, row.line_bytes);
  put(regs, fnp::kWordRow, fnp::REG28_ROW_WORDS, row.row_words);
  put(regs, fnp::kWordRow, fnp::REG28_LINE_BYTES, row.line_bytes);
}

// [31] 1 | [30] 0 | [29] 1 | [14:0] input words; [30:16] neuron words | [15:0] neurons; [17:0] 0;
// [23:20] FNP3 | [15:0] FNP2: 5, FNP3: image words mod budget
void write_memories(const HardwareConstraints& constraints, NpRegisterBlock regs, bool internal_memory,
                    const Shape& shape, uint8_t input_bits, const Dense& weights, uint8_t weights_bits,
                    InputPadding padding) {
  put(regs, fnp::kWordInputMemory, fnp::REG14_INPUT_WORDS,
      get_fpksram_size(shape[1], shape[0], shape[2], input_bits, padding));
  put(regs, fnp::kWordInputMemory, fnp::REG14_BIT29, 1);
  put(regs, fnp::kWordInputMemory, fnp::REG14_BIT30, 0);
  put(regs, fnp::kWordInputMemory, fnp::REG14_BIT31, 1);
  put(regs, fnp::kWordNeurons, fnp::REG15_NEURONS, weights.shape()[1]);
  put(regs, fnp::kWordNeurons, fnp::REG15_NEURON_WORDS,
      get_neuron_word_size(shape, padding, input_bits, weights_bits));
  put(regs, fnp::kWordBits16, fnp::REG16_BITS0_17, 0);
  uint32_t memory = fnp::kExternalMemoryValue;
  if (internal_memory) {
    if (constraints.fnp3_sram_size == 0) throw std::invalid_argument(kMsgFnp3WithoutBudget);
    memory = get_layer_word_size(weights, weights_bits, shape, padding, input_bits) % constraints.fnp3_sram_size;
  }
  put(regs, fnp::kWordMemory, fnp::REG17_MEMORY_WORDS, memory);
  put(regs, fnp::kWordMemory, fnp::REG17_INTERNAL_MEMORY, bit(internal_memory));
}

}  // namespace

void format_fnp_registers(const HardwareConstraints& constraints, NpRegisterBlock regs, hw::Type type,
                          uint8_t input_bits, uint8_t output_bits, bool activation, const Shape& shape,
                          bool single_buffer, const Dense& weights, uint8_t weights_bits, InputPadding padding) {
  if (type != hw::Type::FNP2 && type != hw::Type::FNP3) {
    throw std::invalid_argument(fnp_wrong_np_type_message(hw::to_string(type)));
  }
  const bool internal_memory = type == hw::Type::FNP3;
  write_control(regs, internal_memory, single_buffer);
  write_formats(regs, input_bits, weights_bits, output_bits, activation);
  write_input_shape(regs, shape, input_bits, padding);
  write_memories(constraints, regs, internal_memory, shape, input_bits, weights, weights_bits, padding);
}

}  // namespace ornix::v2
