#include "mapping/hardware_backend_registration.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include "hardware/mapping_status.h"
#include "hardware/messages.h"
#include "mapping/hardware_backend.h"
#include "mapping/map_constraints.h"

namespace ornix {

HardwareMapper make_hardware_mapper(std::function<std::unique_ptr<Backend>()> make_backend) {
  return [make_backend = std::move(make_backend)](std::vector<std::shared_ptr<Layer>>& layers,
                                                  std::vector<std::shared_ptr<Sequence>>& sequences,
                                                  const MapRequest& request) {
    std::shared_ptr<MapConstraints> constraints = request.constraints;
    if (!constraints) constraints = std::make_shared<MapConstraints>(request.device);
    const std::unique_ptr<Backend> backend = make_backend();
    const MappingStatus status = backend->map(&layers, &sequences, std::move(constraints), true);
    if (!request.hw_only || (status.success() && layers.empty())) return;
    if (!status.success()) status.throw_exception();
    throw std::runtime_error(cannot_map_layer_message(layers.front()->name()));
  };
}

void register_hardware_backend() {
  set_hardware_mapper(make_hardware_mapper([] { return std::make_unique<HardwareBackend>(); }));
}

}  // namespace ornix
