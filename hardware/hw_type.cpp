#include "hardware/hw_type.h"

#include <array>

namespace ornix::hw {

std::string to_string(Type type) {
  static constexpr std::array<const char*, 11> kNames = {
      "None", "HRC", "CNP1", "CNP2", "FNP2", "FNP3", "SKIP_DMA_STORE", "TNP_B", "TNP_R", "SKIP_DMA_LOAD", "DMA",
  };
  const auto index = static_cast<uint32_t>(type);
  return index < kNames.size() ? kNames[index] : "Unknown";
}

}  // namespace ornix::hw
