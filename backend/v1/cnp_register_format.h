#pragma once

// The register blocks of a Convolutional or SeparableConvolutional layer on generation-1 CNPs
// (fields in np_registers.h and cnp_registers.h). Every field is written through set_field: a
// value wider than its field panics "Attempted to write value V into a W-bit field, which will
// cause an overflow.", a window offset outside -8 .. 7 panics "V cannot fit in a 4 bits signed
// integer."; the block may then be partly written and the caller discards it.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "hardware/component.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "ornix/shape.h"

namespace ornix::v1 {

// What every NP block of a layer takes from the layer and its mapping.
struct CnpLayerFacts {
  Shape input;               // width, height, channels
  uint8_t layer_tag = 0;     // the mapping's layer_id
  uint8_t input_bits = 0;    // at most 7
  int32_t kernel = 0;        // "kernel_width"
  int32_t stride = 0;        // "stride_x"
  PaddingParams padding;     // of the convolution
  bool activation = false;
  int32_t act_bits = 0;      // at most 7
  uint32_t pool_width = 1;   // 1 without pooling, below 8
  uint8_t pool_stride = 1;   // first stride byte of the pooling, below 8
  PaddingParams pool_padding;
  bool pool_flag = false;
  uint32_t np_count = 0;     // NPs of the layer's mapping, at most 255
};

// The facts of a built Convolutional or SeparableConvolutional layer holding a LayerMapping.
// Pooling: none for "pool_type" NoPooling (width 1, stride 1, no padding, no flag); otherwise
// the built pooling's stride, padding and flag, with the width "pooling_width" (1 for an
// Average pooling of width -1). std::runtime_error "The layer <name> is not built." without
// built convolution or pooling; "Cannot get input size before it is set." without input;
// std::logic_error without LayerMapping.
CnpLayerFacts read_cnp_layer_facts(const Layer& layer);

// The split-dependent words 1, 3, 4, 8, 9, 10, 11, 20, 24, 25, 26, 28, 29 and 36 of the block
// of the NP computing `share`, in that order.
void format_cnp_split_regs(std::vector<uint32_t>* regs, const CnpLayerFacts& facts, const NpAllocation& share);

// Word 27: pool width and stride, pooling flag, and an edge bit for each side of the NP window
// `window` that lies on the input's edge where the pooling pads.
void format_cnp_pooling_regs(std::vector<uint32_t>* regs, const CnpLayerFacts& facts, const NpSpace& window);

// One block per NP of the layer's mapping, in its order, except those in `skip_nps`: the
// defaults, the split and pooling words, the layer form's weight fields, the output routing
// (`route_flag` in word 44), the partial-reconfiguration view of `reconfig_layer` (may be null)
// when it has a component with the NP's ident, and the input-buffer spike bit with
// `ib_spikes`. The layer must be a Convolutional (std::bad_cast otherwise); its weights are
// formatted per NP to size word 11. Failures of the routing and weight writers pass through.
std::map<hw::Ident, std::vector<uint32_t>> format_std_cnp_regs(const Layer& layer,
                                                               std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                               bool route_flag,
                                                               const std::vector<hw::Ident>& skip_nps);

// The same for a SeparableConvolutional layer, whose weight fields give the depthwise stream's
// size (word 22) and the pointwise words per channel (word 20).
std::map<hw::Ident, std::vector<uint32_t>> format_sep_cnp_regs(const Layer& layer,
                                                               std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                               bool route_flag,
                                                               const std::vector<hw::Ident>& skip_nps);

}  // namespace ornix::v1
