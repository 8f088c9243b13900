#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "hardware/soc_clock.h"
#include "support/simulated_driver.h"

namespace ornix {
namespace {

using Access = SimulatedDriver::Access;
using soc::ClockMode;

constexpr uint32_t kChange = 0xF0001030;
constexpr uint32_t kDivider = 0xF0001190;
constexpr uint32_t kDoubleDivider = 0xF00011A0;
constexpr uint32_t kDividerCopy = 0xF00011B0;

Access written(uint32_t address, uint32_t value) { return {address, value, SimulatedDriver::AccessKind::Write}; }

template <typename Error, typename Call>
std::string error_text(Call call) {
  try {
    call();
  } catch (const Error& error) {
    return error.what();
  }
  return "no error";
}

ClockMode mode_for_divider(uint32_t divider) {
  SimulatedDriver driver;
  driver.poke(kDivider, divider);
  return soc::get_clock_mode(&driver);
}

std::string refusal_for_divider(uint32_t divider) {
  return error_text<std::runtime_error>([&] { mode_for_divider(divider); });
}

TEST(SocClockGet, ReadsTheModeFromTheDivider) {
  EXPECT_EQ(mode_for_divider(1), ClockMode::Performance);
  EXPECT_EQ(mode_for_divider(5), ClockMode::Economy);
  EXPECT_EQ(mode_for_divider(119), ClockMode::LowPower);

  SimulatedDriver driver;
  driver.poke(kDivider, 5);
  soc::get_clock_mode(&driver);
  EXPECT_EQ(driver.log(), (std::vector<Access>{{kDivider, 5, SimulatedDriver::AccessKind::Read}}));
}

TEST(SocClockGet, RefusesAnyOtherFrequency) {
  EXPECT_EQ(refusal_for_divider(2), "Unexpected frequency value detected: 200000000.");
  EXPECT_EQ(refusal_for_divider(0), "Unexpected frequency value detected: 600000000.");
  // The divisor wraps to 0: no frequency, and no division by zero.
  EXPECT_EQ(refusal_for_divider(0xFFFFFFFF), "Unexpected frequency value detected: 0.");
}

TEST(SocClockSet, WritesTheDividersThenStartsTheChangeAndWaitsForIt) {
  SimulatedDriver driver;
  driver.pend_after_write(kChange, 1, 3);
  soc::set_clock_mode(&driver, ClockMode::LowPower);
  EXPECT_EQ(driver.writes(), (std::vector<Access>{written(kDoubleDivider, 239), written(kDivider, 119),
                                                  written(kDividerCopy, 119), written(kChange, 1)}));
  // Three reads see the change pending, the fourth sees it done.
  EXPECT_EQ(driver.log().size(), 1u + 4u + 4u);
  EXPECT_EQ(driver.log().back(), (Access{kChange, 0, SimulatedDriver::AccessKind::Read}));

  SimulatedDriver performance;
  performance.pend_after_write(kChange, 1, 0);
  soc::set_clock_mode(&performance, ClockMode::Performance);
  EXPECT_EQ(performance.writes(), (std::vector<Access>{written(kDoubleDivider, 3), written(kDivider, 1),
                                                       written(kDividerCopy, 1), written(kChange, 1)}));

  SimulatedDriver economy;
  economy.pend_after_write(kChange, 1, 0);
  soc::set_clock_mode(&economy, ClockMode::Economy);
  EXPECT_EQ(economy.writes(), (std::vector<Access>{written(kDoubleDivider, 11), written(kDivider, 5),
                                                   written(kDividerCopy, 5), written(kChange, 1)}));
}

TEST(SocClockSet, WritesNothingForAnInvalidModeOrAPendingChange) {
  SimulatedDriver driver;
  EXPECT_EQ(error_text<std::invalid_argument>(
                [&] { soc::set_clock_mode(&driver, static_cast<ClockMode>(200000000)); }),
            "Invalid clock mode");
  EXPECT_TRUE(driver.log().empty());

  driver.poke(kChange, 1);
  EXPECT_EQ(error_text<std::runtime_error>([&] { soc::set_clock_mode(&driver, ClockMode::Economy); }),
            "Clock mode is already changing.");
  EXPECT_TRUE(driver.writes().empty());
}

TEST(SocClockSet, FailsWhenTheChangeStaysPendingFor10Milliseconds) {
  SimulatedDriver driver;
  driver.pend_after_write(kChange, 1, SimulatedDriver::kNever);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(error_text<std::runtime_error>([&] { soc::set_clock_mode(&driver, ClockMode::Performance); }),
            "Failed to apply clock mode.");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
  EXPECT_EQ(driver.writes().size(), 4u);
}

TEST(SocClock, DriverFailuresPropagate) {
  SimulatedDriver driver;
  driver.fail_reads("bus error", kDivider);
  EXPECT_EQ(error_text<std::runtime_error>([&] { soc::get_clock_mode(&driver); }), "bus error");
  driver.fail_writes("bus error", kDividerCopy);
  EXPECT_EQ(error_text<std::runtime_error>([&] { soc::set_clock_mode(&driver, ClockMode::Economy); }), "bus error");
  EXPECT_EQ(driver.writes().size(), 2u);
}

}  // namespace
}  // namespace ornix
