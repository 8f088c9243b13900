#pragma once

// A serializer over fake recorders, records made by hand and a reader of the finished blob.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "mapping/hardware_constraints.h"
#include "program/sequence_serializer.h"
#include "support/fake_generation.h"
#include "support/fake_mapping.h"

namespace ornix::test {

inline constexpr HwVersion kDevice{0xD3, 0xA2, 0x01, 0x00};

// The filters track a record_of is given.
struct Filters {
  hw::Ident ident;
  std::vector<uint32_t> words;
};

// A record holding exactly these tracks (words as given, no block headers) and filters.
inline std::unique_ptr<program::Record> record_of(const std::vector<std::vector<uint32_t>>& tracks,
                                                  std::optional<Filters> filters = std::nullopt) {
  auto record = program::new_record(kDevice);
  for (const auto& words : tracks) record->tracks.push_back({{words.begin(), words.end()}});
  if (filters) {
    record->add_fnp2_filters_track(filters->ident, filters->words.size(), [&](std::span<uint32_t> words) {
      std::copy(filters->words.begin(), filters->words.end(), words.begin());
    });
  }
  return record;
}

// A finished blob read with the generated readers, both buffers verified.
struct Blob {
  explicit Blob(const std::vector<uint8_t>& blob) : bytes(blob) {
    info_size = le32(0);
    data_part = bytes.data() + 4 + info_size;
    data_size = le32(4 + info_size);
    flatbuffers::Verifier info_check(bytes.data(), 4 + info_size), data_check(data_part, 4 + data_size);
    if (!info_check.VerifySizePrefixedBuffer<fb::ProgramInfo>(nullptr) ||
        !data_check.VerifySizePrefixedBuffer<fb::ProgramData>(nullptr)) {
      throw std::runtime_error("the blob does not verify");
    }
    info = flatbuffers::GetSizePrefixedRoot<fb::ProgramInfo>(bytes.data());
    data = flatbuffers::GetSizePrefixedRoot<fb::ProgramData>(data_part);
  }
  uint32_t le32(size_t at) const {
    uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof(word));
    return word;
  }
  // The words a span locates, read from the blob's bytes.
  std::vector<uint32_t> words_at(uint32_t offset, uint32_t count) const {
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < count; ++i) words.push_back(le32(4 + info_size + offset + 4 * i));
    return words;
  }
  std::vector<uint32_t> words_at(const fb::TrackSpan* span) const {
    return words_at(span->offset(), span->word_count());
  }

  std::vector<uint8_t> bytes;
  uint32_t info_size = 0;  // L
  uint32_t data_size = 0;  // M
  const uint8_t* data_part = nullptr;
  const fb::ProgramInfo* info = nullptr;
  const fb::ProgramData* data = nullptr;
};

// Whether a table stores a field (a default-valued scalar is left out).
template <typename TableType>
bool stores(const TableType* table, flatbuffers::voffset_t field) {
  return reinterpret_cast<const flatbuffers::Table*>(table)->CheckField(field);
}

class SerializerTest : public ::testing::Test {
 protected:
  // Finishes the program for `passes` with small fixed facts: input (5, 3, 1), output
  // (3, 3, 3), type codes 0, output bits 4, descriptors per pass 3.
  Blob finish(const std::vector<std::shared_ptr<Sequence::Pass>>& passes) {
    serializer.finalize("2.0.0", Shape{5, 3, 1}, Shape{3, 3, 3}, 0, 0, 4, true, 0, 0, {}, {}, 3, &program, passes);
    return Blob(program);
  }
  static std::vector<std::shared_ptr<Sequence::Pass>> empty_passes(size_t count) {
    std::vector<std::shared_ptr<Sequence::Pass>> passes;
    for (size_t i = 0; i < count; ++i) passes.push_back(std::make_shared<Sequence::Pass>());
    return passes;
  }

  FakeDevice device{kDevice};
  HardwareConstraints constraints{};
  std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
  FakeIoRecorder io{device, log, "v2"};
  FakeLayerRecorder recorder{device, constraints, log, "v2"};
  SequenceSerializer serializer{recorder, io};
  std::vector<uint8_t> program;
};

}  // namespace ornix::test
