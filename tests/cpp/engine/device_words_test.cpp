#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "ornix/dma/config_header.h"
#include "ornix/hw_version.h"

namespace ornix {
namespace {

TEST(HwVersion, TextAndIpGeneration) {
  EXPECT_EQ((HwVersion{0xBC, 0xA2, 1, 255}.to_string()), "188.162.1.255");
  EXPECT_EQ((HwVersion{0, 0xA1, 0, 0}.get_ip_version()), IpVersion::v1);
  EXPECT_EQ((HwVersion{0, 0xA2, 0, 0}.get_ip_version()), IpVersion::v2);
  EXPECT_EQ((HwVersion{0, 0xA0, 0, 0}.get_ip_version()), IpVersion::none);
  EXPECT_EQ((HwVersion{0xA1, 0xA3, 0, 0}.get_ip_version()), IpVersion::none);
}

TEST(DmaConfigHeader, PlainAndExtraLargeWords) {
  uint32_t words[2] = {};
  // col 1, row 2, id 3 | address 0x28, target 6, plain, 20 words.
  dma::format_config_header(words, {1, 2, 3, 0}, dma::Target::FnpRam, 20, 0x28, false);
  EXPECT_EQ(words[0], 0x00030201u);
  EXPECT_EQ(words[1], 0x02860028u);

  // col 4, row 5, channel 2 | address 0x1234, target 12, xl, 2048 words = 128 units.
  dma::format_config_header(words, {4, 5, 0, 2}, dma::Target::Lut, 2048, 0x1234, true);
  EXPECT_EQ(words[0], 0x02000504u);
  EXPECT_EQ(words[1], 0x101C1234u);

  dma::format_config_header(words, {}, dma::Target::CnpWeights, 2047, 0, false);
  EXPECT_EQ(words[1], 0xFFE00000u);
  dma::format_config_header(words, {}, dma::Target::CnpWeights, 32752, 0, true);
  EXPECT_EQ(words[1], 0xFFF00000u);
  // 4095 units: bit 11 of the size in bit 15, beside a 15-bit address.
  dma::format_config_header(words, {}, dma::Target::CnpWeights, 65520, 0x7FFF, true);
  EXPECT_EQ(words[1], 0xFFF0FFFFu);
}

TEST(DmaConfigHeader, ExtraLargeFromTwoThousandFortyEightWords) {
  EXPECT_FALSE(dma::config_block_size_needs_xl(2047));
  EXPECT_TRUE(dma::config_block_size_needs_xl(2048));

  uint32_t words[2] = {0x5A5A5A5A, 0x5A5A5A5A};
  const hw::Ident np{1, 1, 0, 0};
  EXPECT_THROW(dma::format_config_header(words, np, dma::Target::FnpRam, 2048, 0, false), std::invalid_argument);
  EXPECT_THROW(dma::format_config_header(words, np, dma::Target::FnpRam, 2040, 0, true), std::invalid_argument);
  EXPECT_THROW(dma::format_config_header(words, np, dma::Target::FnpRam, 65536, 0, true), std::invalid_argument);
  EXPECT_THROW(dma::format_config_header(words, np, dma::Target::FnpRam, 2048, 0x8000, true), std::invalid_argument);
  EXPECT_THROW(dma::format_config_header(words, np, dma::Target{16}, 1, 0, false), std::invalid_argument);
  EXPECT_EQ(words[0], 0x5A5A5A5Au);  // a refused header writes nothing
}

}  // namespace
}  // namespace ornix
