#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Texts of the software operations' refusals. Every text starts with the operation's name.

namespace ornix::msg {

inline std::string op_wrong_type(const char* op, const char* arg, const char* expected, const char* given) {
  return std::string(op) + ": " + arg + " must be of type " + expected + " (got " + given + ").";
}
inline std::string op_bad_bits(const char* op, int bits) {
  return std::string(op) + ": the bit width must be between 1 and 32 (got " + std::to_string(bits) + ").";
}
inline std::string op_bad_rank(const char* op, const char* arg, const char* expected, size_t given) {
  return std::string(op) + ": " + arg + " must have " + expected + " dimensions (got " + std::to_string(given) + ").";
}
inline std::string op_per_channel(const char* op, const char* arg, size_t count, const std::string& shape) {
  return std::string(op) + ": " + arg + " holds " + std::to_string(count) +
         " values, which is not the size of trailing dimensions of the input " + shape + ".";
}
inline std::string op_shape_mismatch(const char* op, const char* what, const std::string& a, const std::string& b) {
  return std::string(op) + ": " + what + " " + a + " and " + b + " do not match.";
}
inline std::string op_out_of_range(const char* op, const char* arg, int64_t value, int64_t min, int64_t max) {
  return std::string(op) + ": " + arg + " must be between " + std::to_string(min) + " and " + std::to_string(max) +
         " (got " + std::to_string(value) + ").";
}
inline std::string op_accumulator_overflow(const char* op, int64_t max_input, int64_t weight_sum) {
  return std::string(op) + ": inputs up to " + std::to_string(max_input) + " in magnitude with weights of absolute sum " +
         std::to_string(weight_sum) + " per output could overflow the 32-bit accumulator.";
}
inline std::string op_no_inputs(const char* op) { return std::string(op) + ": no tensor given."; }
inline std::string op_null_tensor(const char* op) { return std::string(op) + ": a tensor is null."; }
inline std::string op_window_too_large(const char* op, uint32_t window, uint32_t size) {
  return std::string(op) + ": a window of " + std::to_string(window) + " does not fit an input of " +
         std::to_string(size) + " without padding.";
}
inline std::string op_geometry(const char* op, const std::string& detail) { return std::string(op) + ": " + detail; }
inline std::string op_empty_window(const char* op) {
  return std::string(op) + ": a pooling window lies wholly in the padding.";
}

}  // namespace ornix::msg
