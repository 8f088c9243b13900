#include "ornix/dma/config_header.h"

#include <stdexcept>

#include "bit_field.h"
#include "format_text.h"

namespace ornix::dma {

namespace {

constexpr const char* kPlainSizeTooLarge = "A configuration block of %u words needs the extra-large header (max %u words)";
constexpr const char* kXlSizeTooLarge = "A configuration block of %u words exceeds the extra-large header (max %u words)";
constexpr const char* kXlSizeNotAligned = "An extra-large configuration block of %u words is not a multiple of %u words";
constexpr const char* kXlAddressTooLarge = "An extra-large configuration block cannot start at address %u (max %u)";

// Header fields, as laid out in config_header.h.
constexpr BitField kCol{0, 8};
constexpr BitField kRow{8, 8};
constexpr BitField kId{16, 8};
constexpr BitField kChannel{24, 8};
constexpr BitField kAddress{0, 16};
constexpr BitField kXlAddress{0, 15};
constexpr BitField kXlSizeHigh{15, 1};
constexpr BitField kTarget{16, 4};
constexpr BitField kXl{20, 1};
constexpr BitField kSize{21, 11};

// The size's value: payload words, or sixteen-word units (12 bits) in the extra-large form.
uint32_t size_value(uint32_t size, bool xl) {
  if (!xl) {
    if (size > kMaxPlainBlockWords) throw std::invalid_argument(format_text(kPlainSizeTooLarge, size, kMaxPlainBlockWords));
    return size;
  }
  if (size % kXlUnitWords != 0) throw std::invalid_argument(format_text(kXlSizeNotAligned, size, kXlUnitWords));
  if (size > kMaxXlBlockWords) throw std::invalid_argument(format_text(kXlSizeTooLarge, size, kMaxXlBlockWords));
  return size / kXlUnitWords;
}

}  // namespace

bool config_block_size_needs_xl(uint32_t words) { return words > kMaxPlainBlockWords; }

void format_config_header(uint32_t* out, const hw::Ident& ident, Target target, uint32_t size, uint16_t address,
                          bool xl) {
  uint32_t word0 = 0;
  set_field(word0, kCol, ident.col);
  set_field(word0, kRow, ident.row);
  set_field(word0, kId, ident.id);
  set_field(word0, kChannel, ident.channel);

  uint32_t word1 = 0;
  const uint32_t size_bits = size_value(size, xl);
  if (xl) {
    if (address > kMaxXlAddress) {
      throw std::invalid_argument(format_text(kXlAddressTooLarge, unsigned{address}, kMaxXlAddress));
    }
    set_field(word1, kXlAddress, address);
    set_field(word1, kXlSizeHigh, size_bits >> kSize.width);
  } else {
    set_field(word1, kAddress, address);
  }
  set_field(word1, kTarget, static_cast<uint32_t>(target));
  set_field(word1, kXl, xl ? 1 : 0);
  set_field(word1, kSize, size_bits & kSize.mask());

  out[0] = word0;
  out[1] = word1;
}

}  // namespace ornix::dma
