#pragma once

#include <memory>

#include "hardware/mesh.h"
#include "ornix/device.h"

namespace ornix::python {

// A device known only by its version and its mesh, built from Python to map models without
// hardware. It owns a copy of the mesh it was given; hardware() is null. Throws
// std::invalid_argument when the version's IP generation is not the mesh's.
std::shared_ptr<Device> create_virtual_device(HwVersion version, const Mesh& mesh);

}  // namespace ornix::python
