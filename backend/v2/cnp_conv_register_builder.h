#pragma once

// The register blocks of a convolution mapped on CNPs, in any of its four forms (Conv2D,
// DepthwiseConv2D, Conv2DTranspose, DepthwiseConv2DTranspose): one 64-word block
// (np_register_block.h) per NP, built from the NP defaults, the common CNP configuration, the
// form's container fields (cnp_container_registers.h), the pooling group, the mesh routing and,
// under partial reconfiguration, the alternative layer's view. Each form's builder
// (conv2d_register_builder.h, depthwise_recording.h, transposed_recording.h) names its form.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "mapping/layer_mapping.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "ornix/layer_types.h"

namespace ornix::v2 {

// The layer's LayerMapping, which the layer keeps alive; std::invalid_argument "Layer '<name>'
// has no layer mapping." when it holds none or one without an NP list.
const LayerMapping& cnp_layer_mapping(const Layer& layer);

// One block of kNpRegisterWords words per NP, ordered by ident.
using NpRegisterMap = std::map<hw::Ident, std::vector<uint32_t>>;

// What sets one convolution form's blocks and program apart.
struct CnpConvForm {
  LayerType type;   // the only layer type recorded in this form
  bool depthwise;   // one filter per input channel: channel groups, per-channel input containers
  bool transposed;  // two-fold upsampling: doubled window, stride 1, 8-bit weights, no pooling
};

inline constexpr CnpConvForm kConv2DForm{LayerType::Conv2D, false, false};
inline constexpr CnpConvForm kDepthwiseConv2DForm{LayerType::DepthwiseConv2D, true, false};
inline constexpr CnpConvForm kConv2DTransposeForm{LayerType::Conv2DTranspose, false, true};
inline constexpr CnpConvForm kDepthwiseConv2DTransposeForm{LayerType::DepthwiseConv2DTranspose, true, true};

// The blocks of `layer`, of type form.type, whose mapping is a LayerMapping, for every NP of
// its `nps` list whose ident is not in `excluded_nps` (a later NP of an ident replaces an
// earlier one). `alt_layer` (may be empty) is the layer that shares the NPs under partial
// reconfiguration: an NP that its mapping also lists gets its view. `ib_spikes` sets the
// input-buffer spike bit of every block; `pr_flag` goes to the mesh routing and to the
// alternative view; `registers_only` parks the NPs (layer id 0xFE, no merge or skip-DMA
// fields); `common_flag` is word 1 bit 29.
//
// A non-transposed form programs the layer's stride, "weights_bits" and built pooling (pool
// size 1 without pooling and for global average pooling, else "pool_size"); a transposed form
// programs stride 1, 8-bit weights and no pooling, and reads neither the built data nor those
// parameters. The NP's first filter is its start_neuron plus the mapping's channel offset.
//
// Failures: a layer of another type, std::runtime_error "Invalid layer type for CNP
// recording."; a non-transposed layer without convolution or pooling data, "The layer <name>
// is not built."; no input shape, "Cannot get input size before it is set."; no LayerMapping
// (of the layer or of `alt_layer`) or an NP without allocation, std::invalid_argument; a value
// wider than its field panics "Attempted to write value V into a W-bit field, which will cause
// an overflow."; failures of the register groups, of the kernel-size rules and of the engine's
// accessors (a missing parameter) pass through. Nothing is returned on failure.
NpRegisterMap format_cnp_conv_registers(const CnpConvForm& form, const Layer& layer, std::shared_ptr<Layer> alt_layer,
                                        bool ib_spikes, bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                        bool registers_only, bool common_flag);

}  // namespace ornix::v2
