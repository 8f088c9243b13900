#pragma once

#include <functional>
#include <memory>

#include "ornix/backend.h"
#include "ornix/hardware_mapping.h"

namespace ornix {

// The engine's mapper over a back end that `make_backend` makes for each mapping. Null request
// constraints become the device's default MapConstraints; the back end may retry. With hw_only
// a failed status, or a layer left unmapped, throws std::runtime_error with the status text
// (respectively "Cannot map layer '<name>'."). The layers a failed attempt placed may keep its
// records: the model drops the mappings of every layer that no kept sequence runs.
HardwareMapper make_hardware_mapper(std::function<std::unique_ptr<Backend>()> make_backend);

// Registers the mapper over HardwareBackend with the engine, replacing any mapper registered
// before. Called once when the back end is loaded (the Python module's start-up, test set-ups).
void register_hardware_backend();

}  // namespace ornix
