#include <stdexcept>

#include "device_messages.h"
#include "ornix/flash_access_driver.h"

namespace ornix {

uint16_t SpiFlashController::get_id() const { throw std::runtime_error(DeviceMessages::kFlashIdNotImplemented); }

}  // namespace ornix
