#include "ornix/program_info.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "program_format/program_generated.h"
#include "program_messages.h"

namespace ornix {

namespace {

constexpr uint64_t kPrefixBytes = sizeof(flatbuffers::uoffset_t);
constexpr uint64_t kWordBytes = 4;
constexpr uint64_t kDescriptorBytes = 8;  // a two-word DMA header

uint64_t read_prefix(const uint8_t* at) {
  uint32_t value = 0;
  std::memcpy(&value, at, sizeof(value));
  return flatbuffers::EndianScalar(value);
}

// A copy of `size` bytes at an address aligned for every scalar the flatbuffers readers load in
// place: each part of a program is read from its own copy, so neither depends on where the
// other ends.
std::vector<uint64_t> aligned_copy(const uint8_t* data, uint64_t size) {
  std::vector<uint64_t> copy((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));
  std::memcpy(copy.data(), data, size);
  return copy;
}

const uint8_t* bytes_of(const std::vector<uint64_t>& copy) { return reinterpret_cast<const uint8_t*>(copy.data()); }

// Bytes of the size-prefixed info part that opens `data`, its prefix included; refuses bytes too
// short for the prefix.
uint64_t info_part_size(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kPrefixBytes) throw std::runtime_error(msg::kProgramTruncated);
  return kPrefixBytes + read_prefix(data);
}

// An aligned copy of the `info_size` bytes of the info part at `data`; refuses a buffer that
// does not verify.
std::vector<uint64_t> verified_info_copy(const uint8_t* data, uint64_t info_size) {
  std::vector<uint64_t> copy = aligned_copy(data, info_size);
  flatbuffers::Verifier verifier(bytes_of(copy), info_size);
  if (!verifier.VerifySizePrefixedBuffer<fb::ProgramInfo>(nullptr)) {
    throw std::runtime_error(msg::kProgramInfoUnreadable);
  }
  return copy;
}

const fb::ProgramInfo& info_root(const std::vector<uint64_t>& verified_copy) {
  return *flatbuffers::GetSizePrefixedRoot<fb::ProgramInfo>(bytes_of(verified_copy));
}

uint64_t round_to_words(uint64_t bytes) {
  return bytes > UINT64_MAX - (kWordBytes - 1) ? bytes : (bytes + kWordBytes - 1) / kWordBytes * kWordBytes;
}

// Saturates at UINT64_MAX.
uint64_t saturating_product(uint64_t a, uint64_t b) {
  uint64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

uint64_t element_count(const std::vector<uint32_t>& shape) {
  uint64_t count = 1;
  for (uint32_t dim : shape) count = saturating_product(count, dim);
  return count;
}

std::vector<uint32_t> to_vector(const flatbuffers::Vector<uint32_t>* values) {
  return values ? std::vector<uint32_t>(values->begin(), values->end()) : std::vector<uint32_t>{};
}

// The output a verified info part announces; refuses one whose frames the device cannot hold.
ProgramOutput announced_output(const fb::ProgramInfo& info) {
  ProgramOutput output{to_vector(info.output_shape()), static_cast<int8_t>(info.output_type()), info.output_bits()};
  const uint64_t bytes = output_frame_bytes(output.shape, output.tensor_type());
  if (bytes > kMaxOutputFrameBytes) {
    throw ProgramOutputTooLarge(msg::program_output_too_large(bytes, kMaxOutputFrameBytes));
  }
  return output;
}

// Refuses a span whose words do not lie inside a data part of `data_size` bytes.
void check_span(uint64_t offset, uint64_t word_count, uint64_t data_size) {
  if (offset < kPrefixBytes || offset > data_size || word_count > (data_size - offset) / kWordBytes) {
    throw std::runtime_error(msg::kProgramSpanOutside);
  }
}

// Refuses a record whose spans leave the data part; gives its filters words.
uint64_t checked_filters_words(const fb::RecordSpans* record, uint64_t data_size) {
  if (record == nullptr) return 0;
  if (record->tracks()) {
    for (const fb::TrackSpan* track : *record->tracks()) check_span(track->offset(), track->word_count(), data_size);
  }
  const fb::FiltersSpan* filters = record->filters();
  if (filters == nullptr) return 0;
  check_span(filters->offset(), filters->word_count(), data_size);
  return filters->word_count();
}

}  // namespace

ProgramInfo::ProgramInfo(const uint8_t* data, size_t size) {
  const uint64_t info_size = info_part_size(data, size);
  // Both size prefixes are u32, so no readable program is larger.
  if (size > std::numeric_limits<uint32_t>::max()) throw std::runtime_error(msg::kProgramTooLarge);
  if (info_size + kPrefixBytes > size) throw std::runtime_error(msg::kProgramTruncated);
  data_part_size_ = kPrefixBytes + read_prefix(data + info_size);
  if (info_size + data_part_size_ > size) throw std::runtime_error(msg::kProgramTruncated);
  if (info_size + data_part_size_ < size) throw std::runtime_error(msg::kProgramTrailingBytes);

  // The first prefix need not be a multiple of 4: the data part may start at any offset.
  const std::vector<uint64_t> info_copy = verified_info_copy(data, info_size);
  const std::vector<uint64_t> data_copy = aligned_copy(data + info_size, data_part_size_);
  const uint8_t* data_part = bytes_of(data_copy);
  flatbuffers::Verifier data_verifier(data_part, data_part_size_);
  if (!data_verifier.VerifySizePrefixedBuffer<fb::ProgramData>(nullptr)) {
    throw std::runtime_error(msg::kProgramDataUnreadable);
  }
  const fb::ProgramInfo* info = &info_root(info_copy);
  const auto* program_data = flatbuffers::GetSizePrefixedRoot<fb::ProgramData>(data_part);

  const uint32_t data_passes = program_data->passes() ? program_data->passes()->size() : 0;
  pass_count_ = info->pass_spans() ? info->pass_spans()->size() : 0;
  if (pass_count_ != data_passes) throw std::runtime_error(msg::kProgramPassCountsDiffer);

  if (const auto* span = info->dummy_header_span()) check_span(span->offset(), span->word_count(), data_part_size_);
  for (uint32_t pass = 0; pass < pass_count_; ++pass) {
    const fb::PassSpans* spans = info->pass_spans()->Get(pass);
    if (spans->records()) {
      for (const fb::RecordSpans* record : *spans->records()) {
        filters_words_ += checked_filters_words(record, data_part_size_);
      }
    }
    if (spans->skipdma_stores()) {
      for (const fb::SKipDmaInfoTrack* store : *spans->skipdma_stores()) skipdma_store_words_ += store->word_count();
    }
  }
  if (const fb::LearningLayerInfo* learning = info->learning_layer()) {
    for (const fb::TrackSpan* span : {learning->record0_span(), learning->record1_span()}) {
      if (span) check_span(span->offset(), span->word_count(), data_part_size_);
    }
    filters_words_ += checked_filters_words(learning->record2(), data_part_size_);
  }

  input_shape_ = to_vector(info->input_shape());
  descriptors_per_pass_ = info->descriptors_per_pass();
  output_ = announced_output(*info);
}

ProgramOutput read_program_output(const uint8_t* data, size_t size) {
  const uint64_t info_size = info_part_size(data, size);
  if (info_size > size) throw std::runtime_error(msg::kProgramTruncated);
  return announced_output(info_root(verified_info_copy(data, info_size)));
}

TensorType program_output_tensor_type(int8_t output_type, uint8_t output_bits) {
  return output_type == 0 && output_bits <= 8 ? TensorType::uint8 : TensorType::int32;
}

uint64_t output_frame_bytes(const std::vector<uint32_t>& shape, TensorType element) {
  return round_to_words(saturating_product(element_count(shape), tensor_element_size(element)));
}

uint64_t input_memory_required(const ProgramInfo& info) { return round_to_words(element_count(info.input_shape())); }

uint64_t input_descriptor_memory_required(const ProgramInfo&) { return kDescriptorBytes; }

uint64_t output_memory_required(const ProgramInfo& info) {
  return output_frame_bytes(info.output_shape(), info.output_tensor_type());
}

uint64_t program_data_memory_required(const ProgramInfo& info) { return info.data_part_size(); }

uint64_t extra_program_memory_required(const ProgramInfo& info) {
  return (info.filters_words() + info.skipdma_store_words()) * kWordBytes;
}

uint64_t program_descriptors_memory_required(const ProgramInfo& info) {
  return uint64_t{info.descriptors_per_pass()} * info.pass_count() * kDescriptorBytes;
}

}  // namespace ornix
