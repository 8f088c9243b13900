#pragma once

// Every message text of the hardware model and device services.

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornix {

// Mesh
inline constexpr const char* kMsgMeshInvalidIpVersion = "The mesh should have a valid IP version.";
inline constexpr const char* kMsgMeshHasNoSram = "The mesh has not SRAM.";

// Mapping statuses
inline constexpr const char* kMsgSuccess = "Success.";

inline std::string cannot_map_layer_message(const std::string& layer_name) {
  return "Cannot map layer '" + layer_name + "'.";
}

// One line of a collection of layer statuses.
inline std::string layer_status_line_message(const std::string& layer_name, const std::string& message) {
  return "\n  * Layer '" + layer_name + "': " + message;
}

inline std::string not_enough_components_message(const std::string& type_name, std::size_t needed,
                                                 std::size_t available) {
  return "Not enough hardware component of type " + type_name + " available. " + std::to_string(needed) +
         " are needed but " + std::to_string(available) + " are available.";
}

// Device discovery
inline std::string incompatible_versions_message(const std::string& hw_version, uint8_t product_id,
                                         const std::string& ip_version) {
  return "Incompatible hardware and Ip versions: HW Version is " + hw_version +
         " with product id = " + std::to_string(product_id) + " while IP version is " + ip_version + ".";
}

// HRC probe inputs
inline constexpr const char* kMsgZeroDimension = "Cannot have a shape with a dimension set to 0";
// panic format: element count, the largest count.
inline constexpr const char kMsgTensorTooLargeFormat[] = "Tensor shape size %lu exceeds maximum shape size (%u)";

// SoC clock
inline constexpr const char* kMsgInvalidClockMode = "Invalid clock mode";
inline constexpr const char* kMsgClockModeAlreadyChanging = "Clock mode is already changing.";
inline constexpr const char* kMsgClockModeNotApplied = "Failed to apply clock mode.";

inline std::string unexpected_frequency_message(uint32_t hertz) {
  return "Unexpected frequency value detected: " + std::to_string(hertz) + ".";
}

// panic format: value, field width in bits.
inline constexpr const char kMsgFieldOverflowFormat[] =
    "Attempted to write value %u into a %u-bit field, which will cause an overflow.";

}  // namespace ornix
