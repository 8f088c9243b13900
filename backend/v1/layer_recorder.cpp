#include "backend/v1/layer_recorder.h"

#include <stdexcept>

namespace ornix::v1 {

namespace {

[[noreturn]] void refuse() { throw std::runtime_error("Generation-1 layer recording is not available yet."); }

}  // namespace

std::unique_ptr<program::Record> LayerRecorderImpl::record_layer(const Layer&, const Layer&, std::shared_ptr<Layer>,
                                                                 bool, bool, const std::vector<hw::Ident>&, bool,
                                                                 bool) const {
  refuse();
}

program::LearnRecordsPtr LayerRecorderImpl::record_learning_layer(const Layer&, bool) const { refuse(); }

void LayerRecorderImpl::sync_learning_vars(std::shared_ptr<Layer>) const { refuse(); }

}  // namespace ornix::v1
