#include "backend/v2/cnp_weight_layout.h"

#include <stdexcept>

#include "backend/v2/weight_format_messages.h"

namespace ornix::v2::cnp_weight_format {

namespace {

//                                              group skip filters words row-stride form target
constexpr Conv2dWeightLayout kConv2d1x1{0, 0, 24, 6, 0, 3, 1};
constexpr Conv2dWeightLayout kConv2d3x3{0, 0, 8, 18, 24, 3, 1};
constexpr Conv2dWeightLayout kConv2d4x4{0, 0, 8, 36, 36, 3, 1};
constexpr Conv2dWeightLayout kConv2d5x5{5, 1, 8, 60, 48, 3, 1};
constexpr Conv2dWeightLayout kConv2d7x7{7, 9, 8, 224, 128, 4, 0};

//                                                    run skip padding channel-stride form target
constexpr DepthwiseWeightLayout kDepthwise3x3{3, 0, 0, 12, 3, 1};
constexpr DepthwiseWeightLayout kDepthwise4x4{4, 0, 2, 24, 3, 1};
constexpr DepthwiseWeightLayout kDepthwise5x5{5, 0, 1, 30, 3, 1};
constexpr DepthwiseWeightLayout kDepthwise7x7{4, 2, 3, 84, 3, 1};

}  // namespace

const Conv2dWeightLayout& conv2d(uint32_t kernel) {
  switch (kernel) {
    case 1:
      return kConv2d1x1;
    case 3:
      return kConv2d3x3;
    case 4:
      return kConv2d4x4;
    case 5:
      return kConv2d5x5;
    case 7:
      return kConv2d7x7;
    default:
      throw std::runtime_error(kMsgLayoutKernel);
  }
}

const DepthwiseWeightLayout& depthwise(uint32_t kernel) {
  switch (kernel) {
    case 3:
      return kDepthwise3x3;
    case 4:
      return kDepthwise4x4;
    case 5:
      return kDepthwise5x5;
    case 7:
      return kDepthwise7x7;
    default:
      throw std::runtime_error(kMsgLayoutKernel);
  }
}

}  // namespace ornix::v2::cnp_weight_format
