#pragma once

#include <memory>
#include <vector>

#include "ornix/device.h"

namespace ornix {

// The process-wide list of discovered devices. The first call that completes builds it with
// populate_devices; later calls return the same list without discovering again. A call whose
// discovery throws leaves the list unbuilt, and the next call tries again. Thread-safe.
const std::vector<std::shared_ptr<Device>>& get_devices();

// One HostDevice per usable engine driver, in driver order. A driver whose device cannot be
// opened or whose mesh cannot be read (std::runtime_error) is skipped, the error's text and a
// newline written to standard output. A device whose version and mesh disagree on the IP
// generation ends discovery with std::invalid_argument; other errors propagate too.
std::vector<std::shared_ptr<Device>> populate_devices();

}  // namespace ornix
