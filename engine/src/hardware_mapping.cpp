#include "ornix/hardware_mapping.h"

#include <mutex>
#include <utility>

#include "model_run.h"

namespace ornix {

namespace {

struct MapperSlot {
  std::mutex mutex;
  HardwareMapper mapper;
};

MapperSlot& slot() {
  static MapperSlot instance;
  return instance;
}

}  // namespace

HardwareMapper set_hardware_mapper(HardwareMapper mapper) {
  std::lock_guard lock(slot().mutex);
  return std::exchange(slot().mapper, std::move(mapper));
}

HardwareMapper registered_hardware_mapper() {
  std::lock_guard lock(slot().mutex);
  return slot().mapper;
}

}  // namespace ornix
