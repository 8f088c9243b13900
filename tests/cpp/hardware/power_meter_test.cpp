#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "hardware/power_meter.h"

namespace ornix {
namespace {

// 1 V at `milliamperes` mA: that many milliwatts.
PowerMeter::PowerEvent milliwatts(int64_t ts, uint32_t milliamperes) { return {ts, 1000000, milliamperes}; }

std::vector<int64_t> timestamps(const std::vector<PowerMeter::PowerEvent>& events) {
  std::vector<int64_t> result;
  for (const auto& event : events) result.push_back(event.ts);
  return result;
}

std::vector<int64_t> range(int64_t first, int64_t last) {
  std::vector<int64_t> result;
  for (int64_t ts = first; ts <= last; ++ts) result.push_back(ts);
  return result;
}

TEST(PowerMeter, StartsWithNoEventAndNoFloor) {
  PowerMeter meter;
  EXPECT_FALSE(meter.has_events());
  EXPECT_EQ(meter.floor(), 0.0f);
  EXPECT_TRUE(meter.events().empty());
}

TEST(PowerMeter, DropsEventsWithoutPowerOrStampedBeforeTheReset) {
  PowerMeter meter;
  meter.log_event({1, 0, 5});
  meter.log_event({2, 1000000, 0});
  EXPECT_FALSE(meter.has_events());

  meter.log_event(milliwatts(3, 7));
  meter.reset(10);
  EXPECT_EQ(meter.floor(), 0.0f);  // restarted
  EXPECT_TRUE(meter.has_events());  // the held event stays
  meter.log_event(milliwatts(9, 1));
  meter.log_event(milliwatts(10, 1));
  meter.log_event(milliwatts(11, 4));
  EXPECT_EQ(timestamps(meter.events()), (std::vector<int64_t>{3, 11}));
  EXPECT_EQ(meter.floor(), 4.0f);
}

TEST(PowerMeter, FloorIsTheLowestPowerKeptInMilliwatts) {
  PowerMeter meter;
  meter.log_event(milliwatts(1, 2));
  meter.log_event(milliwatts(2, 1));
  meter.log_event(milliwatts(3, 3));
  EXPECT_EQ(meter.floor(), 1.0f);
  // 1.5 V at 2 mA.
  meter.log_event({4, 1500000, 2});
  EXPECT_EQ(meter.floor(), 1.0f);
  // 0.25 V at 2 mA.
  meter.log_event({5, 250000, 2});
  EXPECT_EQ(meter.floor(), 0.5f);
}

TEST(PowerMeter, KeepsTheLast100EventsOldestFirst) {
  PowerMeter meter;
  for (int64_t ts = 1; ts <= 99; ++ts) meter.log_event(milliwatts(ts, 1));
  EXPECT_EQ(timestamps(meter.events()), range(1, 99));
  meter.log_event(milliwatts(100, 1));
  EXPECT_EQ(timestamps(meter.events()), range(1, 100));
  meter.log_event(milliwatts(101, 1));
  EXPECT_EQ(timestamps(meter.events()), range(2, 101));
  // Reading does not consume.
  EXPECT_EQ(timestamps(meter.events()), range(2, 101));

  for (int64_t ts = 102; ts <= 250; ++ts) meter.log_event(milliwatts(ts, 1));
  EXPECT_EQ(timestamps(meter.events()), range(151, 250));
}

TEST(CircularQueue, GetWithClearEmptiesTheRing) {
  CircularQueue<int> ring(3);
  for (int value = 1; value <= 4; ++value) ring.push(value);
  EXPECT_EQ(ring.get(true), (std::vector<int>{2, 3, 4}));
  EXPECT_TRUE(ring.empty());
  EXPECT_TRUE(ring.get(false).empty());
  ring.push(5);
  EXPECT_EQ(ring.get(false), (std::vector<int>{5}));
}

}  // namespace
}  // namespace ornix
