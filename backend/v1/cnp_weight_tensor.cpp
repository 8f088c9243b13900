#include "backend/v1/cnp_weight_tensor.h"

#include <stdexcept>

#include "backend/v1/weight_format_messages.h"

namespace ornix::v1 {

namespace {

void check_filter_range(uint32_t available, uint32_t first_filter, uint32_t filters) {
  if (uint64_t{first_filter} + filters > available) throw std::invalid_argument(kMsgCnpFilterRange);
}

}  // namespace

KernelView kernel_view(const Dense& weights, uint32_t first_filter, uint32_t filters) {
  const Shape& shape = weights.shape();
  if (shape.size() != 4) throw std::invalid_argument(kMsgCnpWeightsRank);
  if (shape[2] != shape[3]) throw std::runtime_error(kMsgCnpKernelNotSquare);
  check_filter_range(shape[0], first_filter, filters);
  const auto& strides = weights.strides();
  return {weights.data<int8_t>(), shape[3], shape[1], strides[0], strides[1], strides[2], strides[3]};
}

PointwiseView pointwise_view(const Dense& weights, uint32_t first_filter, uint32_t filters) {
  const Shape& shape = weights.shape();
  if (shape.size() != 2) throw std::invalid_argument(kMsgPointwiseWeightsRank);
  check_filter_range(shape[1], first_filter, filters);
  const auto& strides = weights.strides();
  return {weights.data<int8_t>(), shape[0], strides[0], strides[1]};
}

}  // namespace ornix::v1
