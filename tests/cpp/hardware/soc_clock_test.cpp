#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/error_text.h"
#include "hardware/soc_clock.h"
#include "support/simulated_driver.h"

namespace ornix {
namespace {

using Access = SimulatedDriver::Access;
using soc::ClockMode;

constexpr uint32_t kChange = 0xF0001030;
constexpr uint32_t kDivider = 0xF0001190;

TEST(SocClock, ReadsTheModeFromTheDivider) {
  SimulatedDriver driver;
  const auto mode_for = [&](uint32_t divider) {
    driver.poke(kDivider, divider);
    return soc::get_clock_mode(&driver);
  };
  EXPECT_EQ(mode_for(1), ClockMode::Performance);
  EXPECT_EQ(mode_for(119), ClockMode::LowPower);
  EXPECT_EQ(error_text([&] { mode_for(2); }), "Unexpected frequency value detected: 200000000.");
  // The divisor wraps to 0: no frequency, and no division by zero.
  EXPECT_EQ(error_text([&] { mode_for(0xFFFFFFFF); }), "Unexpected frequency value detected: 0.");
}

TEST(SocClock, SetWritesTheDividersThenStartsTheChangeAndWaitsForIt) {
  SimulatedDriver driver;
  driver.pend_after_write(kChange, 1, 3);
  soc::set_clock_mode(&driver, ClockMode::LowPower);
  const auto write = SimulatedDriver::AccessKind::Write;
  EXPECT_EQ(driver.writes(), (std::vector<Access>{{0xF00011A0, 239, write}, {kDivider, 119, write},
                                                  {0xF00011B0, 119, write}, {kChange, 1, write}}));
  // One read before the writes; three reads see the change pending, the fourth sees it done.
  EXPECT_EQ(driver.log().size(), 1u + 4u + 4u);
}

TEST(SocClock, SetRefusesAnInvalidModeOrAPendingChangeWithoutWriting) {
  SimulatedDriver driver;
  EXPECT_THROW(soc::set_clock_mode(&driver, static_cast<ClockMode>(200000000)), std::invalid_argument);
  driver.poke(kChange, 1);
  EXPECT_EQ(error_text([&] { soc::set_clock_mode(&driver, ClockMode::Economy); }),
            "Clock mode is already changing.");
  EXPECT_TRUE(driver.writes().empty());
}

TEST(SocClock, SetFailsWhenTheChangeStaysPendingFor10Milliseconds) {
  SimulatedDriver driver;
  driver.pend_after_write(kChange, 1, SimulatedDriver::kNever);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(error_text([&] { soc::set_clock_mode(&driver, ClockMode::Performance); }),
            "Failed to apply clock mode.");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
}

}  // namespace
}  // namespace ornix
