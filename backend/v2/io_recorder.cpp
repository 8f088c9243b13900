#include "backend/v2/io_recorder.h"

#include <stdexcept>

namespace ornix::v2 {

namespace {

[[noreturn]] void refuse() { throw std::runtime_error("Generation-2 I/O recording is not available yet."); }

}  // namespace

std::unique_ptr<program::Record> IoRecorderImpl::record_scc(bool, bool, bool, bool, bool, Shape, Shape) const {
  refuse();
}

std::unique_ptr<RegisterWrites> IoRecorderImpl::record_epg(const Layer&, uint8_t, uint8_t, uint8_t, bool, bool,
                                                           bool) const {
  refuse();
}

int8_t IoRecorderImpl::get_input_type(const Layer&) const { refuse(); }

int8_t IoRecorderImpl::get_output_type(const Layer&, int8_t) const { refuse(); }

}  // namespace ornix::v2
