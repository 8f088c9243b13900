#include "backend/v2/memory_sizer.h"

#include <stdexcept>

namespace ornix::v2 {

namespace {

[[noreturn]] void refuse() { throw std::runtime_error("Generation-2 memory sizing is not available yet."); }

}  // namespace

uint32_t MemorySizerImpl::get_input_memory_size(const std::shared_ptr<Layer>&, const hw::Component&,
                                                const std::shared_ptr<Layer>&) const {
  refuse();
}

uint32_t MemorySizerImpl::get_weight_memory_size(const std::shared_ptr<Layer>&, const hw::Component&) const {
  refuse();
}

uint32_t MemorySizerImpl::get_external_memory_size(const std::shared_ptr<Layer>&, const hw::Component&, bool,
                                                   bool) const {
  refuse();
}

}  // namespace ornix::v2
