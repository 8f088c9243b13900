#pragma once

// Structural questions about a model's layer graph: depths, split and merge points, skip-DMA
// needs, skip-connection branches, open branches, and the layers that begin, end and continue
// a pass.
//
// Every function reads the graph only through Layer::inbound_layers, Layer::outbound_layers and
// Layer::is_target_component, and changes nothing in it. Layers are compared and looked up by
// object address, never by name. Layer handles passed in are non-null, and the graph is acyclic
// (a model can only link a layer to layers added before it).

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "ornix/layer.h"

namespace ornix {

// A merge layer targets ComponentKind::SkipDma: it joins branches (its inbound layers) and gets
// no NP of its own. Every other layer is mappable.
bool is_merge_layer(const Layer& layer);

// Layer -> depth, keyed by the layer's address (the standard hash and equality of shared_ptr).
// Owned by the caller; the map keeps the layers it holds alive.
using LayerDepthMap = std::unordered_map<std::shared_ptr<Layer>, uint32_t>;

// 1 for a layer without inbound layers, otherwise 1 + the largest depth of its inbound layers,
// measured over the whole model graph. An entry already in `depths` is returned as stored,
// without querying the graph; new depths (the layer's and its ancestors') are added to
// `depths`, never overwriting an entry. `depths` is not null.
uint32_t get_layer_depth(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths);

// Sorts `layers` in place by ascending depth (a fresh depth map; no secondary key) with
// std::sort: a list of 16 layers or fewer keeps equal-depth layers in input order, a longer one
// leaves them in the order std::sort's introsort does. `layers` is not null.
void sort_by_depth(std::vector<std::shared_ptr<Layer>>* layers);
// The same order, with depths read and added through the caller's `depths` (not null).
void sort_by_depth(std::vector<std::shared_ptr<Layer>>* layers, LayerDepthMap* depths);

// More than one outbound layer.
bool is_split_layer(const std::shared_ptr<Layer>& layer);

// Exactly two outbound layers, of equal depth (read through `depths`, which is not null).
bool is_alt_layer(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths);

// Whether the layer reads its input through a skip-DMA load: a TNP-B layer always; a CNP layer
// when its first inbound layer is a merge layer (a CNP layer without inbound layers does not);
// any other layer never.
bool layer_need_load_dma(const Layer& layer);

// A CNP layer whose first inbound layer is a merge layer that is a split layer: it delivers a
// second output through a skip-DMA store.
bool is_dual_output_layer(const std::shared_ptr<Layer>& layer);

// Whether `layer` is the shallowest inbound layer (by sort_by_depth) of a merge layer of
// `layers`: the layer whose output a skip-DMA store keeps for that merge.
bool is_skip_layer(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers);

// A TNP-B layer, a skip layer of `layers`, or a dual-output layer.
bool layer_need_store_dma(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers);

// The two sides of a skip connection, as get_skipconnect_branch finds them.
struct SkipConnectBranch {
  // Layers on the deeper inbound layer's side that do not lie above the other side, ascending
  // depth.
  std::vector<std::shared_ptr<Layer>> main_branch;
  // Layers on the other side that do not lie above the main side, ascending depth; empty for a
  // plain shortcut.
  std::vector<std::shared_ptr<Layer>> skip_branch;
  // The deepest layer both sides descend from; empty when they share no layer.
  std::shared_ptr<Layer> fork_layer;
};

// The branches that meet at `merge`, from its inbound layers 0 and 1 (the deeper one is the
// main side; inbound layer 0 on equal depths; further inbound layers are ignored). Depths are
// read and added through `depths`, which is not null. A layer with fewer than two inbound layers
// gives an empty result.
SkipConnectBranch get_skipconnect_branch(const std::shared_ptr<Layer>& merge, LayerDepthMap* depths);

// Branches left open after walking `layers` in depth order from one open branch: each layer
// adds its outbound layers and closes its inbound layers, except that the first layer of
// `layers` (as given) closes one. An empty list gives 0; the count may be negative for a list
// that closes more branches than it opens.
int64_t get_out_branches_count(const std::vector<std::shared_ptr<Layer>>& layers);
// What one layer adds to that count: its outbound layers, less its inbound layers, or less one
// for the first layer of the list.
int64_t open_branch_change(const Layer& layer, bool first_of_run);

// The shallowest layers of `layers`, in depth order, up to and including the first non-merge
// layer after which a single branch is open (the same count as get_out_branches_count); every
// layer when that never happens.
std::vector<std::shared_ptr<Layer>> get_layers_to_map_together(const std::vector<std::shared_ptr<Layer>>& layers);

// The layer a pass of `layers` starts mapping with: its first layer (as given) or, when that is
// a merge layer, the shallowest of the merge layer's outbound layers. Throws std::runtime_error
// when another layer of the pass is as deep as the first, when the merge layer has no outbound
// layer, or when its several outbound layers are all equally deep. An empty pass gives an empty
// handle.
std::shared_ptr<Layer> first_mappable_layer(const std::vector<std::shared_ptr<Layer>>& layers);

// The deepest layer of the pass (the last after sort_by_depth) or, when that is a merge layer,
// the deepest of its inbound layers (empty when it has none). An empty pass gives an empty
// handle.
std::shared_ptr<Layer> last_mappable_layer(const std::vector<std::shared_ptr<Layer>>& layers);

// The layer that follows `layer` in the graph: its first outbound layer, stepping over a merge
// layer to that merge layer's first outbound layer. Empty where the walk finds no outbound layer.
std::shared_ptr<Layer> following_layer(const Layer& layer);

// The layer mapped after `layer` in the pass of `layers`: following_layer, but empty after the
// pass's last mappable layer.
std::shared_ptr<Layer> next_mappable_layer(const std::shared_ptr<Layer>& layer,
                                           const std::vector<std::shared_ptr<Layer>>& layers);

}  // namespace ornix
