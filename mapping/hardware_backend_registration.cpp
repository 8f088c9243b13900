#include "mapping/hardware_backend_registration.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

#include "hardware/mapping_status.h"
#include "hardware/messages.h"
#include "mapping/hardware_backend.h"
#include "mapping/map_constraints.h"

namespace ornix {

namespace {

using Layers = std::vector<std::shared_ptr<Layer>>;

// The mapping handles that layers held before a mapping: an attempt that fails may leave its
// records on them, and a layer that no kept sequence runs gets its own handle back.
class MappingsBefore {
 public:
  explicit MappingsBefore(const Layers& layers) : layers_(layers) {
    for (const auto& layer : layers_) mappings_.push_back(layer->mapping());
  }
  // Restores the layers of `unmapped`, or every layer.
  void restore(const Layers* unmapped = nullptr) const {
    for (std::size_t i = 0; i < layers_.size(); ++i) {
      if (unmapped && std::find(unmapped->begin(), unmapped->end(), layers_[i]) == unmapped->end()) continue;
      layers_[i]->set_mapping(mappings_[i]);
    }
  }

 private:
  Layers layers_;
  std::vector<std::shared_ptr<Layer::Mapping>> mappings_;
};

}  // namespace

HardwareMapper make_hardware_mapper(std::function<std::unique_ptr<Backend>()> make_backend) {
  return [make_backend = std::move(make_backend)](std::vector<std::shared_ptr<Layer>>& layers,
                                                  std::vector<std::shared_ptr<Sequence>>& sequences,
                                                  const MapRequest& request) {
    std::shared_ptr<MapConstraints> constraints = request.constraints;
    if (!constraints) constraints = std::make_shared<MapConstraints>(request.device);
    const std::unique_ptr<Backend> backend = make_backend();
    const MappingsBefore before(layers);
    MappingStatus status(StatusCode::Success, "");
    try {
      status = backend->map(&layers, &sequences, std::move(constraints), true);
    } catch (...) {
      before.restore();
      throw;
    }
    if (!request.hw_only) {
      before.restore(&layers);
      return;
    }
    if (status.success() && layers.empty()) return;
    before.restore();
    if (!status.success()) status.throw_exception();
    throw std::runtime_error(cannot_map_layer_message(layers.front()->name()));
  };
}

void register_hardware_backend() {
  set_hardware_mapper(make_hardware_mapper([] { return std::make_unique<HardwareBackend>(); }));
}

}  // namespace ornix
