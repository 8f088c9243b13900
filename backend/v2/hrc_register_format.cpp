#include "backend/v2/hrc_register_format.h"

#include <algorithm>
#include <optional>
#include <span>
#include <stdexcept>

#include "backend/v2/hrc_limits.h"
#include "backend/v2/hrc_messages.h"
#include "ornix/layer_types.h"

namespace ornix::v2 {

namespace {

constexpr int32_t value_of(ActivationType type) { return static_cast<int32_t>(type); }
constexpr int32_t value_of(PoolType type) { return static_cast<int32_t>(type); }
constexpr int32_t value_of(Padding padding) { return static_cast<int32_t>(padding); }

std::optional<uint32_t> code_of(std::span<const HrcCode> codes, int32_t value) {
  const auto found = std::ranges::find(codes, value, &HrcCode::value);
  if (found == codes.end()) return std::nullopt;
  return found->code;
}

uint32_t zero_if_negative(int32_t value) { return value < 0 ? 0 : static_cast<uint32_t>(value); }

void write_kernel(uint32_t* word, int32_t kernel_size) {
  const auto code = code_of(kKernelCodes, kernel_size);
  if (!code) throw std::runtime_error(kMsgHrcWrongKernelSize);
  set_field(word, HRC0_KERNEL, *code);
}

void write_output_bits(uint32_t* word, uint8_t output_bits) {
  const auto code = code_of(kOutputBitsCodes, output_bits);
  if (!code) throw std::runtime_error(hrc_output_bitwidth_message(output_bits));
  set_field(word, HRC0_OUTPUT_BITS, *code);
}

void write_activation(uint32_t* word, int32_t activation) {
  if (activation != value_of(ActivationType::NoActivation) && activation != value_of(ActivationType::ReLU) &&
      activation != value_of(ActivationType::LUT)) {
    throw std::runtime_error(kMsgHrcWrongActivation);
  }
  const uint32_t lut = activation == value_of(ActivationType::LUT) ? 1 : 0;
  set_field(word, HRC0_RELU, activation == value_of(ActivationType::ReLU) ? 1 : 0);
  set_field(word, HRC0_LUT, lut);
  set_field(word, HRC0_LUT_BIT15, lut);
}

void write_channels(uint32_t* word, uint32_t channels) {
  if (channels != kHrcSingleChannel && channels != kHrcColourChannels) {
    throw std::runtime_error(kMsgHrcWrongChannels);
  }
  set_field(word, HRC0_SINGLE_CHANNEL, channels == kHrcSingleChannel ? 1 : 0);
}

void write_padding_mode(uint32_t* word, int32_t padding) {
  if (padding != value_of(Padding::Valid) && padding != value_of(Padding::Same)) {
    throw std::runtime_error(kMsgHrcWrongPadding);
  }
  const uint32_t valid = padding == value_of(Padding::Valid) ? 1 : 0;
  for (const RegDetail& field : {HRC0_VALID, HRC0_VALID_BIT20, HRC0_VALID_BIT21}) set_field(word, field, valid);
}

void write_pool_size(uint32_t* word, int32_t pool_size) {
  set_field(word, HRC0_POOL_SIZE_LOW, zero_if_negative(pool_size));
  set_field(word, HRC0_POOL_SIZE_HIGH, zero_if_negative(pool_size));
}

void write_pool_type(uint32_t* word, int32_t pool_type) {
  if (pool_type != value_of(PoolType::NoPooling) && pool_type != value_of(PoolType::Max)) {
    throw std::runtime_error(kMsgHrcWrongPooling);
  }
  const uint32_t max = pool_type == value_of(PoolType::Max) ? 1 : 0;
  set_field(word, HRC0_MAX_POOL, max);
  set_field(word, HRC0_MAX_POOL_BIT17, max);
}

void write_kernel_stride(uint32_t* word, int32_t kernel_stride) {
  // A negative stride wraps around and overflows its field.
  set_field(word, HRC1_KERNEL_STRIDE_LOW, static_cast<uint32_t>(kernel_stride));
  set_field(word, HRC1_KERNEL_STRIDE_HIGH, static_cast<uint32_t>(kernel_stride));
}

void write_pool_stride(uint32_t* word, int32_t pool_stride) {
  set_field(word, HRC1_POOL_STRIDE_LOW, zero_if_negative(pool_stride));
  set_field(word, HRC1_POOL_STRIDE_HIGH, zero_if_negative(pool_stride));
}

void write_padding_values(uint32_t* word, const Dense& padding_value) {
  const uint8_t* values = padding_value.data<uint8_t>();
  for (std::size_t channel = 0; channel < HRC2_PADDING_VALUES.size(); ++channel) {
    set_field(word, HRC2_PADDING_VALUES[channel], channel < padding_value.size() ? values[channel] : 0);
  }
}

void write_padding_amounts(uint32_t* word, const PaddingParams& padding) {
  set_field(word, HRC3_PAD_LEFT, padding.left);
  set_field(word, HRC3_PAD_RIGHT, padding.right);
  set_field(word, HRC3_PAD_TOP, padding.top);
  set_field(word, HRC3_PAD_BOTTOM, padding.bottom);
}

void write_filters(uint32_t* word, int32_t filters) {
  // No filter wraps around and overflows the field.
  set_field(word, HRC4_FILTERS_MINUS_ONE, static_cast<uint32_t>(filters) - 1);
}

}  // namespace

void format_hrc_registers(HrcConfigRegisters& regs, const HrcConvSettings& settings, const Dense& padding_value) {
  uint32_t* layer = &regs[kHrcWordLayer];
  uint32_t* strides = &regs[kHrcWordStrides];
  write_kernel(layer, settings.kernel_size);
  write_output_bits(layer, settings.output_bits);
  write_activation(layer, settings.activation);
  write_channels(layer, settings.channels);
  write_padding_mode(layer, settings.padding);
  write_pool_size(layer, settings.pool_size);
  write_pool_type(layer, settings.pool_type);
  write_kernel_stride(strides, settings.kernel_stride);
  write_pool_stride(strides, settings.pool_stride);
  write_padding_values(&regs[kHrcWordPaddingValues], padding_value);
  write_padding_amounts(&regs[kHrcWordPadding], settings.conv_pad);
  write_filters(&regs[kHrcWordFilters], settings.filters);
}

}  // namespace ornix::v2
