#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <variant>
#include <vector>

#include <flatbuffers/detached_buffer.h>

namespace ornix {

// The bytes of one serialized device program, owned. The serializer hands over the memory its
// data builder wrote them into (the info buffer put in front of the data in place), so the
// program is never copied on its way to the sequence; a program built elsewhere comes as a
// vector. The bytes stay at one address for the object's lifetime, moves included.
class ProgramBytes {
 public:
  ProgramBytes() = default;
  // Implicit: a vector of bytes is a program.
  ProgramBytes(std::vector<uint8_t> bytes) : storage_(std::move(bytes)) {}
  explicit ProgramBytes(flatbuffers::DetachedBuffer buffer) : storage_(std::move(buffer)) {}

  const uint8_t* data() const {
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&storage_)) return bytes->data();
    return std::get<flatbuffers::DetachedBuffer>(storage_).data();
  }
  size_t size() const {
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&storage_)) return bytes->size();
    return std::get<flatbuffers::DetachedBuffer>(storage_).size();
  }
  const uint8_t* begin() const { return data(); }
  const uint8_t* end() const { return data() + size(); }

 private:
  std::variant<std::vector<uint8_t>, flatbuffers::DetachedBuffer> storage_;
};

}  // namespace ornix
