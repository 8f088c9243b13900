#include "backend/v2/cnp_weight_tensor.h"

#include <stdexcept>

#include "backend/v2/weight_format_messages.h"

namespace ornix::v2 {

namespace {

constexpr size_t kWeightDims = 4;

const Shape& checked_shape(const Dense& weights, uint32_t first, uint32_t count) {
  const Shape& shape = weights.shape();
  if (shape.size() != kWeightDims || shape[0] != shape[1]) throw std::invalid_argument(kMsgCnpWeightsShape);
  if (uint64_t{first} + count > shape[3]) throw std::invalid_argument(kMsgCnpWeightsRange);
  return shape;
}

}  // namespace

CnpWeightsView::CnpWeightsView(const Dense& weights, uint32_t first, uint32_t count)
    : data_(weights.data<int8_t>()),
      strides_(),
      kernel_(checked_shape(weights, first, count)[0]),
      channels_(weights.shape()[2]),
      first_(first) {
  for (size_t i = 0; i < strides_.size(); ++i) strides_[i] = weights.strides()[i];
}

}  // namespace ornix::v2
