#include "mapping/ip_version_specific_hardware_backend.h"

#include <stdexcept>

#include "hardware/mesh.h"
#include "mapping/messages.h"

namespace ornix {

namespace {

const SramSize& mesh_sram(const Device& device) {
  const Mesh* mesh = device.mesh();
  if (!mesh) throw std::runtime_error(kMsgDeviceHasNoMesh);
  return mesh->np_sram_size;
}

const StrategyFactory& factory_of(Generation generation, const GenerationFactories& generations) {
  return generation == Generation::v1 ? *generations.v1 : *generations.v2;
}

}  // namespace

IpVersionSpecificHardwareBackend::IpVersionSpecificHardwareBackend(const Device& device,
                                                                   const GenerationFactories& generations)
    : IpVersionSpecificHardwareBackend(device, generation_of(device.version()), generations) {}

IpVersionSpecificHardwareBackend::IpVersionSpecificHardwareBackend(const Device& device, Generation generation,
                                                                   const GenerationFactories& generations)
    : constraints(make_hardware_constraints(generation, mesh_sram(device))),
      checker(factory_of(generation, generations).make_checker(device, constraints)),
      memory_sizer(factory_of(generation, generations).make_memory_sizer()),
      io_recorder(factory_of(generation, generations).make_io_recorder(device)),
      layer_recorder(factory_of(generation, generations).make_layer_recorder(device, constraints)) {}

}  // namespace ornix
