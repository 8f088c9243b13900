#pragma once

// The hardware component types a layer needs and the skip-DMA components it asks for, before
// the placement gives them idents.

#include <memory>
#include <vector>

#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "ornix/layer.h"

namespace ornix {

// The types a convolution layer is placed on: first its NP type (CNP1 for a CNP layer, else
// TNP_B for a TNP-B layer, else none), then SKIP_DMA_STORE when the layer needs a store
// (layer_need_store_dma) or is a dual-output layer, then SKIP_DMA_LOAD when it needs a load.
// `layers` are the model's layers; `layer` is not null.
std::vector<hw::Type> layer_required_types(const std::shared_ptr<Layer>& layer,
                                           const std::vector<std::shared_ptr<Layer>>& layers);

// One SKIP_DMA_STORE component for each of: the layer is a TNP-B layer, a skip layer of
// `layers`, a dual-output layer (so none to three). Zero idents, no NP share, zero memory.
std::vector<hw::Component> request_skipdma_store(const std::shared_ptr<Layer>& layer,
                                                 const std::vector<std::shared_ptr<Layer>>& layers);

// One SKIP_DMA_LOAD component: zero ident, no NP share, zero memory.
std::vector<hw::Component> request_skipdma_load();

// Appends to `components` (not null) the skip-DMA components of the required types after the
// first (the NP type): the stores for SKIP_DMA_STORE, a load for any other. Nothing when
// `types` holds fewer than two entries.
void request_skipdma(std::vector<hw::Component>* components, const std::vector<hw::Type>& types,
                     const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers);

}  // namespace ornix
