#include "hardware/soc_clock.h"

#include <chrono>
#include <stdexcept>

#include "hardware/limits.h"
#include "hardware/messages.h"
#include "hardware/register_io.h"
#include "hardware/soc_clock_registers.h"
#include "ornix/panic.h"

namespace ornix::soc {

namespace {

bool is_clock_mode(uint32_t hertz) {
  switch (static_cast<ClockMode>(hertz)) {
    case ClockMode::Performance:
    case ClockMode::Economy:
    case ClockMode::LowPower:
      return true;
  }
  return false;
}

uint32_t checked_divider_field(uint32_t value) {
  if (value >> kSocClockFieldBits != 0) panic(kMsgFieldOverflowFormat, value, kSocClockFieldBits);
  return value;
}

}  // namespace

ClockMode get_clock_mode(HardwareDriver* driver) {
  const uint32_t divisor = read_register(*driver, kClockDividerAddress) + 1;
  // A divider of 0xFFFFFFFF wraps the divisor to 0: no frequency.
  const uint32_t hertz = divisor == 0 ? 0 : kSocClockSourceHz / divisor;
  if (!is_clock_mode(hertz)) throw std::runtime_error(unexpected_frequency_message(hertz));
  return static_cast<ClockMode>(hertz);
}

void set_clock_mode(HardwareDriver* driver, const ClockMode& mode) {
  if (!is_clock_mode(static_cast<uint32_t>(mode))) throw std::invalid_argument(kMsgInvalidClockMode);
  if (read_register(*driver, kClockChangeAddress) & kClockChangePending) {
    throw std::runtime_error(kMsgClockModeAlreadyChanging);
  }
  const uint32_t divider = kSocClockSourceHz / static_cast<uint32_t>(mode) - 1;
  write_register(*driver, kClockDoubleDividerAddress, checked_divider_field(2 * divider + 1));
  write_register(*driver, kClockDividerAddress, checked_divider_field(divider));
  write_register(*driver, kClockDividerCopyAddress, divider);
  write_register(*driver, kClockChangeAddress, kClockChangeStart);

  const auto deadline = std::chrono::steady_clock::now() + kClockChangeTimeout;
  while (read_register(*driver, kClockChangeAddress) & kClockChangePending) {
    if (std::chrono::steady_clock::now() >= deadline) throw std::runtime_error(kMsgClockModeNotApplied);
  }
}

}  // namespace ornix::soc
