#include "support/simulated_driver.h"

#include <algorithm>

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "device_registers.h"

namespace ornix {
namespace {

constexpr size_t kWordBytes = 4;

void check_length(size_t length) {
  if (length != kWordBytes) {
    throw std::invalid_argument("SimulatedDriver: register accesses are 4 bytes long, not " + std::to_string(length));
  }
}

}  // namespace

SimulatedDriver::SimulatedDriver(std::string desc, uint32_t top_level_reg_base)
    : desc_(std::move(desc)), top_level_reg_base_(top_level_reg_base) {}

void SimulatedDriver::Failures::check(uint32_t address) const {
  if (const auto found = at.find(address); found != at.end()) throw std::runtime_error(found->second);
  if (every) throw std::runtime_error(*every);
}

void SimulatedDriver::read(uint32_t address, void* buffer, size_t length) {
  check_length(length);
  read_failures_.check(address);
  const uint32_t value = load(address);
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i < kWordBytes; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  log_.push_back({address, value, AccessKind::Read});
}

void SimulatedDriver::write(uint32_t address, const void* buffer, size_t length) {
  check_length(length);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  uint32_t value = 0;
  for (size_t i = 0; i < kWordBytes; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  registers_[address] = value;
  if (const auto pend = pend_bits_.find(address); pend != pend_bits_.end() && (value & pend->second.mask) != 0 &&
                                                  pend->second.reads != kNever) {
    changes_[address] = {pend->second.reads, ~pend->second.mask};
  }
  log_.push_back({address, value, AccessKind::Write});
}

uint32_t SimulatedDriver::load(uint32_t address) {
  if (const auto change = changes_.find(address); change != changes_.end()) {
    if (change->second.reads_left == 0) {
      registers_[address] = peek(address) & change->second.keep;
      changes_.erase(change);
    } else {
      --change->second.reads_left;
    }
  }
  return peek(address);
}

uint32_t SimulatedDriver::peek(uint32_t address) const {
  const auto found = registers_.find(address);
  return found == registers_.end() ? 0 : found->second;
}

void SimulatedDriver::poke(uint32_t address, uint32_t value) { registers_[address] = value; }

std::vector<SimulatedDriver::Access> SimulatedDriver::writes() const {
  std::vector<Access> result;
  for (const Access& access : log_) {
    if (access.kind == AccessKind::Write) result.push_back(access);
  }
  return result;
}

void SimulatedDriver::pend_after_write(uint32_t address, uint32_t mask, uint32_t reads) {
  pend_bits_[address] = {mask, reads};
}

void SimulatedDriver::fail_reads(std::string what, std::optional<uint32_t> address) {
  if (address) {
    read_failures_.at[*address] = std::move(what);
  } else {
    read_failures_.every = std::move(what);
  }
}

void SimulatedDriver::set_version(const HwVersion& version) {
  uint32_t word = 0;
  set_field(word, DeviceRegs::kVersionVendor, version.vendor_id);
  set_field(word, DeviceRegs::kVersionProduct, version.product_id);
  set_field(word, DeviceRegs::kVersionMajor, version.major_rev);
  set_field(word, DeviceRegs::kVersionMinor, version.minor_rev);
  poke(DeviceRegs::kVersion, word);
}

void SimulatedDriver::set_np_descriptor(const hw::Ident& ident, uint32_t word) {
  if (!DeviceRegs::in_np_table(ident)) throw std::invalid_argument("SimulatedDriver: not an NP identifier");
  poke(DeviceRegs::np_descriptor(ident), word);
}

void SimulatedDriver::set_output(const Shape& shape, TensorType type) {
  if (shape.size() != 3) throw std::invalid_argument("SimulatedDriver: the output shape is (width, height, channels)");
  poke(DeviceRegs::kOutputWidth, shape[0]);
  poke(DeviceRegs::kOutputHeight, shape[1]);
  poke(DeviceRegs::kOutputChannels, shape[2]);
  poke(DeviceRegs::kOutputType, static_cast<uint32_t>(type));
}

void SimulatedDriver::set_learn_mem(const std::vector<uint32_t>& words) {
  poke(DeviceRegs::kLearnMemSize, static_cast<uint32_t>(words.size()));
  for (uint32_t i = 0; i < words.size(); ++i) poke(DeviceRegs::learn_mem_word(i), words[i]);
}

size_t SimulatedDriver::open_count() const {
  return static_cast<size_t>(std::ranges::count_if(log_, [](const Access& access) {
    return access.kind == AccessKind::Read && access.address == DeviceRegs::kVersion;
  }));
}

size_t SimulatedDriver::program_count() const {
  return static_cast<size_t>(std::ranges::count_if(log_, [](const Access& access) {
    return access.kind == AccessKind::Write && access.address == DeviceRegs::kProgramSize && access.value != 0;
  }));
}

std::ostream& operator<<(std::ostream& out, const SimulatedDriver::Access& access) {
  char text[40];
  std::snprintf(text, sizeof text, "%s 0x%08X = 0x%08X", access.kind == SimulatedDriver::AccessKind::Read ? "read" : "write",
                access.address, access.value);
  return out << text;
}

}  // namespace ornix
