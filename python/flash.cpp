#include <memory>
#include <stdexcept>

#include "device_messages.h"
#include "hardware_device.h"
#include "ornix/flash_access_driver.h"
#include "registration.h"

namespace ornix::python {

void register_flash(py::module_& m) {
  py::module_ board = m.def_submodule(
      "boardKpl2200", "Spi flash controller for the kpl2200meant for testing, debugging and validation only.");
  py::class_<SpiFlashController, py::smart_holder>(board, "SpiFlashController").def("get_id", &SpiFlashController::get_id);
  // Every call asks the driver again: nothing is kept between calls. None is refused with the
  // other arguments that are not a HardwareDevice.
  board.def(
      "get_flash",
      [](const std::shared_ptr<PyHardwareDevice>& device) {
        HardwareDriver* driver = device->hardware()->driver();
        auto* flash = driver ? dynamic_cast<FlashAccessDriver*>(driver) : nullptr;
        if (flash == nullptr) throw std::invalid_argument(msg::kNoFlash);
        return flash->flash_controller();
      },
      py::arg().none(false));
}

}  // namespace ornix::python
