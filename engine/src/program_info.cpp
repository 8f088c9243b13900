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
  if (data == nullptr || size < kPrefixBytes) throw std::runtime_error(msg::kProgramTruncated);
  // Both size prefixes are u32, so no readable program is larger.
  if (size > std::numeric_limits<uint32_t>::max()) throw std::runtime_error(msg::kProgramTooLarge);
  const uint64_t info_size = kPrefixBytes + read_prefix(data);
  if (info_size + kPrefixBytes > size) throw std::runtime_error(msg::kProgramTruncated);
  data_part_size_ = kPrefixBytes + read_prefix(data + info_size);
  if (info_size + data_part_size_ > size) throw std::runtime_error(msg::kProgramTruncated);
  if (info_size + data_part_size_ < size) throw std::runtime_error(msg::kProgramTrailingBytes);

  // The first prefix need not be a multiple of 4: the data part may start at any offset.
  const std::vector<uint64_t> info_copy = aligned_copy(data, info_size);
  const std::vector<uint64_t> data_copy = aligned_copy(data + info_size, data_part_size_);
  const auto* bytes = reinterpret_cast<const uint8_t*>(info_copy.data());
  const auto* data_part = reinterpret_cast<const uint8_t*>(data_copy.data());

  flatbuffers::Verifier info_verifier(bytes, info_size);
  if (!info_verifier.VerifySizePrefixedBuffer<fb::ProgramInfo>(nullptr)) {
    throw std::runtime_error(msg::kProgramInfoUnreadable);
  }
  flatbuffers::Verifier data_verifier(data_part, data_part_size_);
  if (!data_verifier.VerifySizePrefixedBuffer<fb::ProgramData>(nullptr)) {
    throw std::runtime_error(msg::kProgramDataUnreadable);
  }
  const auto* info = flatbuffers::GetSizePrefixedRoot<fb::ProgramInfo>(bytes);
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
  output_shape_ = to_vector(info->output_shape());
  output_type_ = static_cast<int8_t>(info->output_type());
  output_bits_ = info->output_bits();
  descriptors_per_pass_ = info->descriptors_per_pass();
  const uint64_t output_bytes = output_memory_required(*this);
  if (output_bytes > kMaxOutputFrameBytes) {
    throw ProgramOutputTooLarge(msg::program_output_too_large(output_bytes, kMaxOutputFrameBytes));
  }
}

TensorType program_output_tensor_type(int8_t output_type, uint8_t output_bits) {
  return output_type == 0 && output_bits <= 8 ? TensorType::uint8 : TensorType::int32;
}

uint64_t output_frame_bytes(const std::vector<uint32_t>& shape, int8_t output_type, uint8_t output_bits) {
  return round_to_words(
      saturating_product(element_count(shape), tensor_element_size(program_output_tensor_type(output_type, output_bits))));
}

uint64_t input_memory_required(const ProgramInfo& info) { return round_to_words(element_count(info.input_shape())); }

uint64_t input_descriptor_memory_required(const ProgramInfo&) { return kDescriptorBytes; }

uint64_t output_memory_required(const ProgramInfo& info) {
  return output_frame_bytes(info.output_shape(), info.output_type(), info.output_bits());
}

uint64_t program_data_memory_required(const ProgramInfo& info) { return info.data_part_size(); }

uint64_t extra_program_memory_required(const ProgramInfo& info) {
  return (info.filters_words() + info.skipdma_store_words()) * kWordBytes;
}

uint64_t program_descriptors_memory_required(const ProgramInfo& info) {
  return uint64_t{info.descriptors_per_pass()} * info.pass_count() * kDescriptorBytes;
}

}  // namespace ornix
