#include "mapping/hardware_backend.h"

#include <stdexcept>
#include <utility>

#include "mapping/ip_version_specific_hardware_backend.h"
#include "mapping/limits.h"
#include "mapping/messages.h"

namespace ornix {

HardwareBackend::HardwareBackend() : HardwareBackend(built_in_generations(), map_layers_to_sequences) {}

HardwareBackend::HardwareBackend(GenerationFactories generations, MappingAttempt attempt)
    : generations_(generations), attempt_(std::move(attempt)) {}

MappingStatus HardwareBackend::map(std::vector<std::shared_ptr<Layer>>* layers,
                                   std::vector<std::shared_ptr<Sequence>>* sequences,
                                   std::shared_ptr<MapConstraints> constraints, bool retry) {
  if (!constraints) throw std::runtime_error(kMsgMapConstraintsRequired);
  if (!layers || !sequences) throw std::invalid_argument(kMsgMapListsRequired);
  const std::shared_ptr<Device> device = constraints->device();
  const IpVersionSpecificHardwareBackend backend(*device, generations_);
  const auto attempt = [&](bool whole_model) {
    return attempt_(backend.constraints, constraints, backend, layers, sequences, whole_model, retry);
  };

  MappingStatus status(StatusCode::Success, "");
  const HwVersion version = device->version();
  if (version.product_id > kLastPrefixOnlyProductId) {
    const LayerMappingStatus rules = backend.checker->check_layer_sequence(layers->cbegin(), layers->cend(), version);
    status = MappingStatus(rules.code(), rules.message());
    if (status.success()) {
      status = attempt(true);
      if (status.success() || !retry) return status;
    }
  }

  size_t remaining = layers->size();
  while (remaining != 0) {
    status = attempt(false);
    const size_t left = layers->size();
    if (left == 0 || !retry || left == remaining) break;
    remaining = left;
  }
  return status;
}

}  // namespace ornix
