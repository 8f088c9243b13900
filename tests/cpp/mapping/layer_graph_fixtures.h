#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/layer_fixtures.h"
#include "mapping/layer_graph.h"

namespace ornix::test {

using Layers = std::vector<std::shared_ptr<Layer>>;

// A model whose layers all keep the 4x4x4 shape of its input (depth 1), so that any of them can
// meet at a merge layer. Each builder adds a layer after the given inbound layers.
class Graph {
 public:
  std::shared_ptr<Layer> input() const { return model_->get_layer(0); }
  void add(const std::shared_ptr<Layer>& layer, const Layers& inbounds) { model_->add(layer, inbounds); }
  std::shared_ptr<Layer> conv(const std::string& name, const Layers& inbounds) {  // CNP
    return make(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}}, name, inbounds);
  }
  std::shared_ptr<Layer> merge(const std::string& name, const Layers& inbounds) {  // Add
    return make(LayerType::Add, {}, name, inbounds);
  }
  std::shared_ptr<Layer> temporal(const std::string& name, const Layers& inbounds) {  // TNP-B
    return make(LayerType::BufferTempConv, {{"fifo_size", 2}, {"filters", 4}}, name, inbounds);
  }
  std::shared_ptr<Layer> dense(const std::string& name, const Layers& inbounds) {  // FNP, 1x1 output
    return make(LayerType::Dense1D, {{"units", 4}}, name, inbounds);
  }

 private:
  std::shared_ptr<Layer> make(LayerType type, const LayerParams::Values& values, const std::string& name,
                              const Layers& inbounds) {
    auto layer = make_layer(type, values, name);
    add(layer, inbounds);
    return layer;
  }

  std::unique_ptr<Model> model_ = model_with_input(4, 4, 4);
};

}  // namespace ornix::test
