#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "backend/v1/np_registers_format.h"
#include "backend_v1/v1_fixtures.h"

namespace ornix::v1 {
namespace {

using ornix::test::throws_text;
using test::Components;
using test::np;
using Words = std::vector<uint32_t>;
using T = hw::Type;

TEST(NpRegisters, DefaultsAndConfigurationDma) {
  Words expected(50, 0);
  expected[6] = 0x04040000;
  expected[12] = 0x52000000;
  expected[13] = 0x10;
  expected[37] = 0xFF000000;
  EXPECT_EQ(default_np_regs(), expected);

  Words regs(50, 0xFFFFFFFF);
  format_mesh_cfg_dma_reg(&regs, {2, 3, 1, 0});
  EXPECT_EQ(regs[49], 0xFFF20203u);  // row 3, column 2, one-hot 2; bits 20-31 kept
  EXPECT_THAT([&] { format_mesh_cfg_dma_reg(&regs, {2, 3, 4, 0}); },
              throws_text<std::runtime_error>(
                  "Attempted to write value 16 into a 4-bit field, which will cause an overflow."));
  EXPECT_EQ(regs[49], 0xFFF20203u);
}

TEST(NpRegisters, OutputRoutingWords) {
  struct Row {
    const char* name;
    Components targets, second;
    uint8_t tag;
    bool targets_p2p, second_p2p, route_flag;
    uint32_t w44, w45, w46, w47;
  };
  // Words 44-47 start all ones: kept bits show as ones.
  const Row rows[] = {
      {"ranges, no output", {np(T::CNP1, 2), np(T::CNP1, 5, 2, 1)}, {np(T::CNP1, 6), np(T::CNP2, 7, 1, 1)}, 0xFF,
       false, false, false, 0x0608FFF8, 0xFFFF0706, 0x3FFF0502, 0x0703},
      {"point to point", {np(T::CNP1, 2, 3, 1)}, {np(T::FNP3, 6, 4, 2)}, 0x12, true, true, true, 0xFF08FFFD,
       0x124F0604, 0x3F2F0203, 0x0603},
      {"HRC source", {np(T::HRC, 0, 0)}, {np(T::CNP1, 2)}, 5, false, false, false, 0xFF08FFF8, 0x05FF0202,
       0x3FFF0101, 0x0402},
  };
  const Components layer_nps{np(T::CNP1, 3), np(T::CNP1, 4, 1, 1)};
  for (const Row& r : rows) {
    Words regs(50, 0xFFFFFFFF);
    format_mesh_registers_set_output_to_NPs(&regs, r.targets, layer_nps, r.second, r.tag, r.targets_p2p,
                                            r.second_p2p, r.route_flag);
    EXPECT_EQ(Words(regs.begin() + 44, regs.begin() + 48), (Words{r.w44, r.w45, r.w46, r.w47})) << r.name;
  }

  Words regs(50, 0xFFFFFFFF);
  const Components two{np(T::CNP1, 2), np(T::CNP1, 3)};
  EXPECT_THAT([&] { format_mesh_registers_set_output_to_NPs(&regs, two, layer_nps, two, 1, true, true, false); },
              throws_text<std::runtime_error>("Cannot use P2P mode for multiple NPs."));
  EXPECT_EQ(regs[44], 0xFF08FFF9u);  // written before the lists are checked
  EXPECT_EQ(regs[45], 0xFFFFFFFFu);
  EXPECT_THAT([&] { format_mesh_registers_set_output_to_NPs(&regs, {}, layer_nps, two, 1, false, false, false); },
              throws_text<std::invalid_argument>("A mesh routing list needs at least one component."));
}

TEST(NpRegisters, PartialReconfiguration) {
  // FNP view: whole input 4 x 3 x 2 at 2 bits, reconfiguration tag 7.
  test::MappedLayer dense(LayerType::FullyConnected, {{"units", 2}, {"weights_bits", 1}}, Shape{4, 3, 2}, 2,
                          {np(T::FNP3, 3)});
  dense.mapping->input_id = 7;
  Words regs = default_np_regs();
  update_partial_reconfig_regs(&regs, *dense.layer, dense.mapping->nps->at(0));
  EXPECT_EQ(Words(regs.begin() + 32, regs.begin() + 36), (Words{0x07000017, 0, 0x00040003, 12}));
  EXPECT_EQ(regs[4], 0x2501u);  // word 1 bit 4 clear: at least 0x2501
  EXPECT_EQ(regs[14], 0x2501u);
  regs = default_np_regs();
  regs[1] = 0x10;
  regs[14] = 100;
  update_partial_reconfig_regs(&regs, *dense.layer, dense.mapping->nps->at(0));
  EXPECT_EQ(regs[4], 100u);

  // CNP view: padded window (2, 1) of 6 x 5, 4 channels at 4 bits: container 3 bytes, 3 row
  // words, input 15 words (above the whole input's 10 and word 4's 12).
  hw::Component cnp = np(T::CNP1, 2);
  cnp.allocation = NpAllocation{0, 4, {2, 1, Shape{6, 5, 4}}, {2, 1, Shape{6, 5, 4}}, true};
  test::MappedLayer conv(LayerType::Convolutional,
                         {{"kernel_width", 3}, {"kernel_height", 3}, {"filters", 4}, {"weights_bits", 2}},
                         Shape{10, 8, 4}, 4, {cnp});
  conv.mapping->input_id = 9;
  regs = default_np_regs();
  regs[4] = 12;
  update_partial_reconfig_regs(&regs, *conv.layer, cnp);
  EXPECT_EQ(Words(regs.begin() + 32, regs.begin() + 36), (Words{0x09000025, 0x00020001, 0x00060005, 0x00030003}));
  EXPECT_EQ(regs[4], 15u);
  EXPECT_EQ(regs[14], 15u);
}

}  // namespace
}  // namespace ornix::v1
