#include "program/program_builder.h"

#include "program/limits.h"

namespace ornix {

std::unique_ptr<flatbuffers::FlatBufferBuilder> make_program_builder(size_t initial_size) {
  auto builder =
      std::make_unique<flatbuffers::FlatBufferBuilder>(initial_size, nullptr, false, program::kBuilderAlignment);
  builder->DedupVtables(true);
  builder->ForceDefaults(false);
  return builder;
}

}  // namespace ornix
