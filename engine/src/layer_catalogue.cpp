#include "layer_catalogue.h"

#include <array>
#include <stdexcept>

#include "layer_messages.h"
#include "ornix/layers/convolution_v1.h"
#include "ornix/layers/convolution_v2.h"
#include "ornix/layers/dense.h"
#include "ornix/layers/input_data.h"
#include "ornix/layers/merge.h"
#include "ornix/layers/readout.h"
#include "ornix/layers/temporal.h"
#include "ornix/layers/transposed.h"

namespace ornix {

namespace {

template <typename T>
std::shared_ptr<LayerImpl> make(const LayerParams& params, const std::string& name) {
  return std::make_shared<T>(params, name);
}

using enum ComponentKind;
using V = IpVersion;
using T = LayerType;
constexpr uint32_t kAny = kAnyInboundCount;

// type, target, generation, input, separable, channelwise, inbounds min and max, class, defaults
constexpr std::array kCatalogue{
    LayerTraits{T::InputData, None, V::none, true, false, false, 0, 0, make<InputData>, kInputDataDefaults},
    LayerTraits{T::InputConvolutional, HRC, V::v1, true, false, false, 0, 1, make<InputConvolutional>,
                kInputConvolutionalDefaults},
    LayerTraits{T::FullyConnected, FNP, V::v1, false, false, false, 1, 1, make<FullyConnected>, kWeightedDefaults},
    LayerTraits{T::Convolutional, CNP, V::v1, false, false, false, 1, 1, make<Convolutional>, kV1ConvDefaults},
    LayerTraits{T::SeparableConvolutional, CNP, V::v1, false, true, false, 1, 1, make<SeparableConvolutional>,
                kV1ConvDefaults},
    LayerTraits{T::Add, SkipDma, V::v2, false, false, false, 2, kAny, make<Add>, kActivationDefaults},
    LayerTraits{T::Concatenate, SkipDma, V::v2, false, false, false, 2, kAny, make<Concatenate>, kActivationDefaults},
    LayerTraits{T::Conv2D, CNP, V::v2, false, false, false, 1, 1, make<Conv2D>, kV2ConvDefaults},
    LayerTraits{T::InputConv2D, HRC, V::v2, false, false, false, 1, 1, make<InputConv2D>, kV2ConvDefaults},
    LayerTraits{T::DepthwiseConv2D, CNP, V::v2, false, true, true, 1, 1, make<DepthwiseConv2D>, kV2ConvDefaults},
    LayerTraits{T::Conv2DTranspose, CNP, V::v2, false, false, false, 1, 1, make<Conv2DTranspose>, kTransposedDefaults},
    LayerTraits{T::ExtractToken, None, V::v2, false, false, false, 1, 1, make<ExtractToken>, kActivationDefaults},
    LayerTraits{T::Dequantizer, None, V::v2, false, false, false, 1, 1, make<Dequantizer>, kActivationDefaults},
    LayerTraits{T::DepthwiseConv2DTranspose, CNP, V::v2, false, true, true, 1, 1, make<DepthwiseConv2DTranspose>,
                kTransposedDefaults},
    LayerTraits{T::BufferTempConv, TNP_B, V::v2, false, false, false, 1, 1, make<BufferTempConv>, kWeightedDefaults},
    LayerTraits{T::DepthwiseBufferTempConv, TNP_B, V::v2, false, true, true, 1, 1, make<DepthwiseBufferTempConv>,
                kWeightedDefaults},
    LayerTraits{T::Dense1D, FNP, V::v2, false, false, false, 1, 1, make<Dense1D>, kWeightedDefaults},
    LayerTraits{T::StatefulRecurrent, TNP_R, V::v2, false, false, false, 1, 1, make<StatefulRecurrent>,
                kActivationDefaults},
};

}  // namespace

const LayerTraits* find_layer_traits(LayerType type) {
  for (const LayerTraits& traits : kCatalogue) {
    if (traits.type == type) return &traits;
  }
  return nullptr;
}

std::shared_ptr<Layer> Layer::create(const LayerParams* params, const std::string& name) {
  if (params == nullptr) throw std::invalid_argument(msg::kNullLayerParams);
  const LayerTraits* traits = find_layer_traits(params->layer_type());
  if (traits == nullptr) throw std::invalid_argument(msg::no_layer_class(static_cast<uint32_t>(params->layer_type())));
  return traits->make(*params, name);
}

}  // namespace ornix
