#pragma once

// The per-channel variable tensors of a CNP or TNP-B layer, looked up once per layer, and the
// variable words (format_cnp_tnp_variables, cnp_register_format.h) of one NP's channels, returned
// or written in place.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ornix/layer.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

// The layer's variable of that name, or null when it has none.
std::shared_ptr<const Dense> optional_variable(const Layer& layer, const char* name);

// Each tensor is null when the layer has no variable of that name. The tensors are shared with
// the layer's variables.
struct ChannelVariables {
  explicit ChannelVariables(const Layer& layer);

  // Two words per channel of [first, first + count); the formatter's failures pass through.
  std::vector<uint32_t> format(uint32_t first, uint32_t count) const;
  // The same words written into `words`, zero-filled and words(count) long (write_cnp_tnp_variables).
  void write(uint32_t first, uint32_t count, std::span<uint32_t> words) const;
  // The number of words of `count` channels.
  static size_t words(uint32_t count);

  std::shared_ptr<const Dense> max_value, max_value_shift, activation_shift, activation_scales, output_shift,
      bias_shift, bias, output_scales;
};

}  // namespace ornix::v2
