#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "ornix/tensor.h"

namespace ornix {

// Device memory one output frame may take, in bytes: the device writes each frame of a run into
// its own memory, and the host receives a copy of every frame. A program whose output needs more
// (output_frame_bytes) is refused when it is read, before its output shape sizes anything; so is
// a run whose output geometry needs more.
inline constexpr uint64_t kMaxOutputFrameBytes = uint64_t{256} << 20;

// The element type of one output value of a program: uint8 for output type code 0 with at most
// 8 output bits (values as the last layer emits them), int32 otherwise.
TensorType program_output_tensor_type(int8_t output_type, uint8_t output_bits);
// Device memory of one output frame of `shape` (width, height, channels) in bytes: its elements
// times the size of `element`, rounded up to whole 32-bit words; saturates at UINT64_MAX.
uint64_t output_frame_bytes(const std::vector<uint32_t>& shape, TensorType element);

// A program whose output does not fit the device's memory for one output frame.
class ProgramOutputTooLarge : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The output a program-info part announces: per frame, one tensor of `shape` whose elements are
// of tensor_type().
struct ProgramOutput {
  std::vector<uint32_t> shape;  // (width, height, channels) as the program lists it
  int8_t type = 0;              // the generation's output type code
  uint8_t bits = 0;
  TensorType tensor_type() const { return program_output_tensor_type(type, bits); }
};

// Reads the output announced by the size-prefixed program-info buffer that opens the `size` bytes
// at `data` (any alignment: read from an aligned copy), whatever follows it: the info part alone
// or a whole program. std::runtime_error when the bytes are too short for the size prefix or for
// the buffer it announces, or when the buffer does not verify; ProgramOutputTooLarge when one
// output frame (output_frame_bytes) would take more than kMaxOutputFrameBytes.
ProgramOutput read_program_output(const uint8_t* data, size_t size);

// What the engine reads of a serialized device program: a size-prefixed program-info buffer
// followed by a size-prefixed program-data buffer, nothing before, between or after.
class ProgramInfo {
 public:
  // Reads the `size` bytes at `data` (any alignment, and either part at any offset: each is
  // read from an aligned copy); they are not kept. std::runtime_error when they are not
  // one whole program: too short for either size prefix or for the buffer it announces, bytes
  // after the data part, a buffer that does not verify, a pass count that differs between the
  // parts, or a track located outside the data part; ProgramOutputTooLarge when one output frame
  // would take more device memory than the device holds for it.
  ProgramInfo(const uint8_t* data, size_t size);

  const std::vector<uint32_t>& input_shape() const { return input_shape_; }  // as the program lists it
  // The output of the info part, as read_program_output reads it.
  const std::vector<uint32_t>& output_shape() const { return output_.shape; }
  int8_t output_type() const { return output_.type; }
  uint8_t output_bits() const { return output_.bits; }
  TensorType output_tensor_type() const { return output_.tensor_type(); }

  uint32_t pass_count() const { return pass_count_; }
  uint8_t descriptors_per_pass() const { return descriptors_per_pass_; }
  uint64_t data_part_size() const { return data_part_size_; }  // bytes, its size prefix included
  uint64_t filters_words() const { return filters_words_; }    // FNP2 filters, passes and learning layer
  uint64_t skipdma_store_words() const { return skipdma_store_words_; }  // one transfer per store, all passes

 private:
  std::vector<uint32_t> input_shape_;
  ProgramOutput output_;
  uint32_t pass_count_ = 0;
  uint8_t descriptors_per_pass_ = 0;
  uint64_t data_part_size_ = 0;
  uint64_t filters_words_ = 0;
  uint64_t skipdma_store_words_ = 0;
};

// Memory a program needs on the device, in bytes. A descriptor is one two-word DMA header.
//
// One input: one byte per input element (inputs are at most 8 bits wide), rounded up to
// whole 32-bit words.
uint64_t input_memory_required(const ProgramInfo& info);
// One input descriptor: one descriptor.
uint64_t input_descriptor_memory_required(const ProgramInfo& info);
// One output: output_frame_bytes of the program's output.
uint64_t output_memory_required(const ProgramInfo& info);
// The program data: the whole data part, its size prefix included.
uint64_t program_data_memory_required(const ProgramInfo& info);
// Memory outside the mesh: the FNP2 filters words and one transfer of every skip-DMA store,
// 4 bytes each.
uint64_t extra_program_memory_required(const ProgramInfo& info);
// The program descriptors: descriptors per pass times the number of passes, one descriptor each.
uint64_t program_descriptors_memory_required(const ProgramInfo& info);

}  // namespace ornix
