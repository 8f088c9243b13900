#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ornix/device.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"

namespace ornix {

class MapConstraints;  // the hardware back end's mapping constraints

// What Model::map asks of the hardware back end.
struct MapRequest {
  std::shared_ptr<Device> device;               // never null
  std::shared_ptr<MapConstraints> constraints;  // null: the back end's defaults for the device
  bool hw_only = false;                         // every layer must be mapped on the device
};

// Maps `layers` (a model's layers after its input data layer, in model order) onto the
// request's device: appends one sequence per run of mapped layers to `sequences` and removes
// the mapped layers from the front of `layers`. It throws the back end's error when the
// mapping fails and the request is hw_only. Layers it leaves out may hold the mapping records of
// an attempt that failed: the model, which cleared every layer's mapping before, clears theirs.
using HardwareMapper = std::function<void(std::vector<std::shared_ptr<Layer>>& layers,
                                          std::vector<std::shared_ptr<Sequence>>& sequences,
                                          const MapRequest& request)>;

// The hardware back end registers its mapper here when it is loaded; the engine itself knows no
// back end. Returns the mapper registered before (empty when none was).
HardwareMapper set_hardware_mapper(HardwareMapper mapper);

}  // namespace ornix
