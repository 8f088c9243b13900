#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornix {

// Error texts of the engine's device and of its driver list, in one place.
struct DeviceMessages {
  static std::string no_device(const std::string& driver_desc) {
    return "No device behind driver '" + driver_desc + "': its version register reads 0.";
  }
  static constexpr const char* kNullDriver = "A device needs a driver.";
  static constexpr const char* kFlashIdNotImplemented = "get_id function is not yet implemented";
  static constexpr const char* kNullProgram = "Program data are missing for a program of non-zero size.";
  static constexpr const char* kProgramTooLarge = "A program cannot exceed 4294967295 bytes.";
  static constexpr const char* kNoProgram = "The device holds no program.";
  static std::string run_not_declared(size_t frames) {
    return "No run was declared for these " + std::to_string(frames) + " frames.";
  }
  static std::string frame_count_mismatch(size_t frames, uint32_t declared) {
    return "The run has " + std::to_string(frames) + " frames but " + std::to_string(declared) + " were declared.";
  }
  static constexpr const char* kNoOutputGeometry = "The device's output geometry has a dimension of 0.";
  static std::string bad_output_type(uint32_t type) {
    return "The device's output type " + std::to_string(type) + " is not a tensor type.";
  }
  static std::string output_frame_too_large(uint32_t width, uint32_t height, uint32_t channels, uint64_t bytes,
                                            uint64_t max_bytes) {
    return "The device's output geometry " + std::to_string(width) + " x " + std::to_string(height) + " x " +
           std::to_string(channels) + " gives frames of " + std::to_string(bytes) +
           " bytes; the device holds at most " + std::to_string(max_bytes) + " bytes for one output frame.";
  }
  static std::string learn_mem_too_large(uint32_t words, uint32_t max_words) {
    return "The device's learned memory of " + std::to_string(words) + " words exceeds its " +
           std::to_string(max_words) + " words.";
  }
  static constexpr const char* kNotAnNp = "NP descriptors exist for NP identifiers only (id 0 to 7, channel 0).";
  static constexpr const char* kNullAttachment = "Cannot attach a null driver.";
  static constexpr const char* kAlreadyAttached = "The driver is already attached.";
};

}  // namespace ornix
