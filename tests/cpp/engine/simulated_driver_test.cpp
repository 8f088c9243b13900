#include "support/simulated_driver.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "engine/error_text.h"

namespace ornix {
namespace {

using Access = SimulatedDriver::Access;
constexpr auto kRead = SimulatedDriver::AccessKind::Read;
constexpr auto kWrite = SimulatedDriver::AccessKind::Write;

uint32_t read_word(SimulatedDriver& driver, uint32_t address) {
  uint32_t value = 0;
  driver.read(address, &value, sizeof value);
  return value;
}

void write_word(SimulatedDriver& driver, uint32_t address, uint32_t value) { driver.write(address, &value, sizeof value); }

TEST(SimulatedDriver, LogsLittleEndianAccessesInOrder) {
  SimulatedDriver driver("board 7", 0x40000000);
  EXPECT_EQ(driver.desc(), "board 7");
  EXPECT_EQ(driver.top_level_reg_base(), 0x40000000u);

  const std::array<uint8_t, 4> written{0x78, 0x56, 0x34, 0x12};
  driver.write(0x10, written.data(), written.size());
  EXPECT_EQ(driver.peek(0x10), 0x12345678u);

  std::array<uint8_t, 4> read{};
  driver.read(0x20, read.data(), read.size());
  EXPECT_EQ(read, (std::array<uint8_t, 4>{0, 0, 0, 0}));
  driver.read(0x10, read.data(), read.size());
  EXPECT_EQ(read, written);

  driver.poke(0x30, 5);  // not an access
  EXPECT_EQ(driver.log(), (std::vector<Access>{{0x10, 0x12345678, kWrite}, {0x20, 0, kRead}, {0x10, 0x12345678, kRead}}));
  EXPECT_EQ(driver.writes(), (std::vector<Access>{{0x10, 0x12345678, kWrite}}));
  driver.clear_log();
  EXPECT_TRUE(driver.log().empty());
}

TEST(SimulatedDriver, RefusesAccessesOtherThanFourBytes) {
  SimulatedDriver driver;
  driver.poke(0x10, 0xAABBCCDD);
  std::array<uint8_t, 8> bytes{};
  EXPECT_EQ(error_text([&] { driver.read(0x10, bytes.data(), 2); }),
            "SimulatedDriver: register accesses are 4 bytes long, not 2");
  EXPECT_THROW(driver.write(0x10, bytes.data(), 8), std::invalid_argument);
  EXPECT_THROW(driver.read(0x10, bytes.data(), 0), std::invalid_argument);
  EXPECT_EQ(bytes, (std::array<uint8_t, 8>{}));
  EXPECT_EQ(driver.peek(0x10), 0xAABBCCDDu);
  EXPECT_TRUE(driver.log().empty());
}

TEST(SimulatedDriver, ChangesAValueAfterAGivenNumberOfReads) {
  SimulatedDriver driver;
  driver.poke(0x50, 1);
  driver.change_after_reads(0x50, 2, 7);
  EXPECT_EQ(read_word(driver, 0x50), 1u);
  write_word(driver, 0x50, 3);  // stored; the change still comes
  EXPECT_EQ(read_word(driver, 0x50), 3u);
  EXPECT_EQ(read_word(driver, 0x50), 7u);
  EXPECT_EQ(read_word(driver, 0x50), 7u);

  driver.change_after_reads(0x54, 0, 9);
  EXPECT_EQ(read_word(driver, 0x54), 9u);
}

TEST(SimulatedDriver, PendingBitsClearAGivenNumberOfReadsAfterTheirWrite) {
  SimulatedDriver driver;
  driver.pend_after_write(0xF0001030, 0x1, 2);
  EXPECT_EQ(read_word(driver, 0xF0001030), 0u);
  write_word(driver, 0xF0001030, 0x3);
  EXPECT_EQ(read_word(driver, 0xF0001030), 3u);
  EXPECT_EQ(read_word(driver, 0xF0001030), 3u);
  EXPECT_EQ(read_word(driver, 0xF0001030), 2u);  // only the pending bit clears
  write_word(driver, 0xF0001030, 0x2);           // sets no pending bit: nothing scheduled
  EXPECT_EQ(read_word(driver, 0xF0001030), 2u);

  driver.pend_after_write(0xF0001030, 0x1, 0);
  write_word(driver, 0xF0001030, 1);
  EXPECT_EQ(read_word(driver, 0xF0001030), 0u);

  driver.pend_after_write(0xF0001030, 0x1, SimulatedDriver::kNever);
  write_word(driver, 0xF0001030, 1);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(read_word(driver, 0xF0001030), 1u);
}

TEST(SimulatedDriver, InjectedFailuresThrowAndLeaveNoTrace) {
  SimulatedDriver driver;
  driver.poke(0x10, 4);
  driver.fail_writes("write refused", 0x10);
  EXPECT_EQ(error_text([&] { write_word(driver, 0x10, 5); }), "write refused");
  EXPECT_EQ(driver.peek(0x10), 4u);
  write_word(driver, 0x14, 6);  // another address still works
  EXPECT_EQ(read_word(driver, 0x10), 4u);

  driver.fail_reads("T");
  driver.fail_reads("at 0x14", 0x14);
  EXPECT_EQ(error_text([&] { read_word(driver, 0x10); }), "T");
  EXPECT_EQ(error_text([&] { read_word(driver, 0x14); }), "at 0x14");
  EXPECT_EQ(driver.log(), (std::vector<Access>{{0x14, 6, kWrite}, {0x10, 4, kRead}}));

  driver.clear_failures();
  EXPECT_EQ(read_word(driver, 0x14), 6u);
  write_word(driver, 0x10, 5);
  EXPECT_EQ(driver.peek(0x10), 5u);
}

}  // namespace
}  // namespace ornix
