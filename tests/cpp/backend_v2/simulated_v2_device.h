#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "hardware/host_device.h"
#include "ornix/hardware_device.h"
#include "support/simulated_driver.h"

// The IP v2 device the end-to-end tests map onto.
namespace ornix::test {

inline constexpr HwVersion kSimulatedV2{0xD3, 0xA2, 0x01, 0x00};

// Sixteen CNPs in columns 2 to 5, the DMA at column 1, a skip-DMA engine at column 6, driven by
// `driver`, which must outlive the device.
inline std::shared_ptr<HostDevice> simulated_v2_device(SimulatedDriver& driver) {
  driver.set_version(kSimulatedV2);
  std::vector<np::Info> nps;
  for (uint8_t col = 2; col <= 5; ++col) {
    for (uint8_t id = 0; id < 4; ++id) nps.push_back({{col, 1, id, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false});
  }
  const std::vector<np::Info> skip_dmas{{{6, 1, 0, 4}, {hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD}, false}};
  return std::make_shared<HostDevice>(HardwareDevice::create(&driver),
                                      std::make_unique<Mesh>(IpVersion::v2, hw::Ident{1, 1, 0, 0},
                                                             hw::Ident{1, 1, 1, 0}, std::nullopt, nps, skip_dmas));
}

}  // namespace ornix::test
