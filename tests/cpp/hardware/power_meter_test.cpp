#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "hardware/power_meter.h"

namespace ornix {
namespace {

// 1 V at `milliamperes` mA: that many milliwatts.
PowerMeter::PowerEvent milliwatts(int64_t ts, uint32_t milliamperes) { return {ts, 1000000, milliamperes}; }

std::vector<int64_t> timestamps(PowerMeter& meter) {
  std::vector<int64_t> result;
  for (const auto& event : meter.events()) result.push_back(event.ts);
  return result;
}

std::vector<int64_t> range(int64_t first, int64_t last) {
  std::vector<int64_t> result;
  for (int64_t ts = first; ts <= last; ++ts) result.push_back(ts);
  return result;
}

TEST(PowerMeter, KeepsPositivePowerAfterTheResetAndTracksTheFloor) {
  PowerMeter meter;
  meter.log_event({1, 0, 5});
  meter.log_event({2, 1000000, 0});
  EXPECT_FALSE(meter.has_events());

  meter.log_event(milliwatts(3, 2));
  meter.log_event(milliwatts(4, 1));
  meter.log_event(milliwatts(5, 3));
  EXPECT_EQ(meter.floor(), 1.0f);
  meter.reset(10);
  EXPECT_EQ(meter.floor(), 0.0f);
  meter.log_event(milliwatts(10, 1));
  meter.log_event({11, 250000, 16});  // 0.25 V at 16 mA
  EXPECT_EQ(timestamps(meter), (std::vector<int64_t>{3, 4, 5, 11}));
  EXPECT_EQ(meter.floor(), 4.0f);
}

TEST(PowerMeter, KeepsTheLast100EventsOldestFirst) {
  PowerMeter meter;
  for (int64_t ts = 1; ts <= 101; ++ts) meter.log_event(milliwatts(ts, 1));
  EXPECT_EQ(timestamps(meter), range(2, 101));
  EXPECT_EQ(timestamps(meter), range(2, 101));  // reading does not consume
  for (int64_t ts = 102; ts <= 250; ++ts) meter.log_event(milliwatts(ts, 1));
  EXPECT_EQ(timestamps(meter), range(151, 250));
}

TEST(CircularQueue, GetWithClearEmptiesTheRing) {
  CircularQueue<int> ring(3);
  for (int value = 1; value <= 4; ++value) ring.push(value);
  EXPECT_EQ(ring.get(true), (std::vector<int>{2, 3, 4}));
  EXPECT_TRUE(ring.empty());
  ring.push(5);
  EXPECT_EQ(ring.get(false), (std::vector<int>{5}));
}

}  // namespace
}  // namespace ornix
