#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "hardware/circular_queue.h"

namespace ornix {

// The most recent power measurements of a SoC device and the lowest power seen since the last
// reset. The engine pushes measurements into the process-wide meter; every operation is
// thread-safe (a failure to lock throws std::system_error).
class PowerMeter {
 public:
  struct PowerEvent {
    int64_t ts = 0;        // timestamp
    uint32_t voltage = 0;  // microvolts
    uint32_t current = 0;  // milliamperes
  };

  // The process-wide meter, created on first use.
  static PowerMeter& get();

  // An independent meter (the engine uses get()).
  PowerMeter();
  PowerMeter(const PowerMeter&) = delete;
  PowerMeter& operator=(const PowerMeter&) = delete;

  // Keeps the event when its power is positive and it is stamped after the last reset; it
  // then lowers the floor if needed and overwrites the oldest event when the ring is full.
  void log_event(PowerEvent&& event);
  bool has_events() const;
  // Lowest power kept since the last reset, in milliwatts; 0 when none was kept.
  float floor() const;
  // Restarts the floor and drops later events stamped at or before `ts`; held events stay.
  void reset(long ts);
  // Copies of the held events, oldest first.
  std::vector<PowerEvent> events();

 private:
  CircularQueue<PowerEvent> ring_;
  float floor_;
  int64_t reset_ts_ = 0;
  mutable std::mutex mutex_;
};

}  // namespace ornix
