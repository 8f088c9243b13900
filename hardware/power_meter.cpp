#include "hardware/power_meter.h"

#include <limits>

#include "hardware/limits.h"

namespace ornix {

namespace {

constexpr float kNoFloor = std::numeric_limits<float>::max();

// Milliwatts.
float power_of(const PowerMeter::PowerEvent& event) {
  return static_cast<float>(event.voltage) / 1000000 * static_cast<float>(event.current);
}

}  // namespace

PowerMeter& PowerMeter::get() {
  static PowerMeter meter;
  return meter;
}

PowerMeter::PowerMeter() : ring_(kPowerEventCapacity), floor_(kNoFloor) {}

void PowerMeter::log_event(PowerEvent&& event) {
  const std::lock_guard lock(mutex_);
  const float power = power_of(event);
  if (!(power > 0) || event.ts <= reset_ts_) return;
  if (power < floor_) floor_ = power;
  ring_.push(event);
}

bool PowerMeter::has_events() const {
  const std::lock_guard lock(mutex_);
  return !ring_.empty();
}

float PowerMeter::floor() const {
  const std::lock_guard lock(mutex_);
  return floor_ == kNoFloor ? 0 : floor_;
}

void PowerMeter::reset(long ts) {
  // Locked like every other operation: the engine may reset from another thread than the one
  // logging events.
  const std::lock_guard lock(mutex_);
  floor_ = kNoFloor;
  reset_ts_ = ts;
}

std::vector<PowerMeter::PowerEvent> PowerMeter::events() {
  const std::lock_guard lock(mutex_);
  return ring_.get(false);
}

}  // namespace ornix
