#include "program/program_builder.h"

#include "program/limits.h"
#include "program/page_blocks.h"

namespace ornix {

namespace {

// Builder memory from program::allocate_block: a large program is written into large pages,
// which the finished bytes keep (DetachedBuffer frees them through this allocator).
class ProgramMemory final : public flatbuffers::Allocator {
 public:
  uint8_t* allocate(size_t size) override {
    program::count_program_memory(size);
    return static_cast<uint8_t*>(program::allocate_block(size, false));
  }
  void deallocate(uint8_t* bytes, size_t size) override { program::free_block(bytes, size); }
};

// Never destroyed: program bytes may outlive static destruction.
flatbuffers::Allocator* program_memory() {
  static auto* const memory = new ProgramMemory();
  return memory;
}

}  // namespace

std::unique_ptr<flatbuffers::FlatBufferBuilder> make_program_builder(size_t initial_size) {
  auto builder = std::make_unique<flatbuffers::FlatBufferBuilder>(initial_size, program_memory(), false,
                                                                  program::kBuilderAlignment);
  builder->DedupVtables(true);
  builder->ForceDefaults(false);
  return builder;
}

}  // namespace ornix
