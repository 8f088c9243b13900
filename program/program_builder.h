#pragma once

#include <cstddef>
#include <memory>

#include "program_format/program_generated.h"

namespace ornix {

// A flatbuffers builder with the settings that fix the device program's bytes (alignment,
// vtable deduplication, defaults left out); its first allocation holds `initial_size` bytes.
// The size changes no byte of what is built, only how often the builder has to grow (and copy
// what it holds) while building.
std::unique_ptr<flatbuffers::FlatBufferBuilder> make_program_builder(size_t initial_size);

}  // namespace ornix
