#include "backend/v1/fnp_register_format.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>

#include "backend/v1/fnp_error.h"
#include "backend/v1/fnp_learning_registers.h"
#include "backend/v1/fnp_messages.h"
#include "backend/v1/fnp_sizes.h"
#include "backend/v1/np_registers.h"
#include "backend/v1/np_registers_format.h"
#include "backend/v2/np_block_routing.h"
#include "hardware/mesh.h"
#include "mapping/layer_mapping.h"
#include "ornix/layers/dense.h"
#include "program/register_field.h"

namespace ornix::v1 {

namespace {

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }
constexpr uint32_t kNp2NpExternal = 3;  // FNP2
constexpr uint32_t kNp2NpInternal = 1;  // FNP3
constexpr uint32_t kCnp4FnpNum = 1;
constexpr uint8_t kFourBitInputs = 4;

void put(std::vector<uint32_t>* regs, std::size_t word, const RegDetail& field, uint32_t value) {
  set_field(&regs->at(word), field, value);
}

// What the block is built from.
struct FnpLayerFacts {
  hw::Ident ident;
  bool external_memory = false;  // FNP2
  bool single_buffer = true;
  uint8_t input_bits = 0;
  Shape input;  // width, height, channels
  int32_t weights_bits = 0;
  bool activation = false;
  int32_t act_bits = 0;
  int32_t units = 0;
  uint8_t layer_tag = 0;
};

FnpLayerFacts read_facts(const Layer& layer, const LayerMapping& mapping) {
  const hw::Component& np = mapped_fnp(layer);
  FnpLayerFacts facts;
  facts.ident = np.ident;
  facts.external_memory = np.type == hw::Type::FNP2;
  facts.single_buffer = hw::np_share_or_default(np).single_buffer;
  facts.input_bits = layer.input_bits();
  facts.input = layer.input_dimensions().at(0);
  facts.weights_bits = param_of(layer, "weights_bits");
  facts.activation = layer.has_activation();
  facts.act_bits = param_of(layer, "act_bits");
  facts.units = param_of(layer, "units");
  facts.layer_tag = mapping.layer_id;
  return facts;
}

// Word 1: [25:24] CNP4FNP_NUM (FNP3) | [22] single buffer | [21:20] NP2NP_CFG | [6:4] set
void write_np_mode(std::vector<uint32_t>* regs, const FnpLayerFacts& facts) {
  put(regs, kWordNpMode, REG1_BIT4, 1);
  put(regs, kWordNpMode, REG1_BIT5, 1);
  put(regs, kWordNpMode, REG1_BIT6, 1);
  if (facts.external_memory) {
    put(regs, kWordNpMode, REG2_NP2NP_CFG, kNp2NpExternal);
  } else {
    put(regs, kWordNpMode, REG2_NP2NP_CFG, kNp2NpInternal);
    put(regs, kWordNpMode, REG2_CNP4FNP_NUM, kCnp4FnpNum);
  }
  if (facts.input_bits == kFourBitInputs && !facts.single_buffer) {
    throw std::invalid_argument(kMsgFnp4bitInputsDualBuffer);
  }
  put(regs, kWordNpMode, REG1_SINGLE_BUFFER, bit(facts.single_buffer));
}

// Word 3: [31:24] layer tag | [23:16] 1 NP | [15] activation | [13:12] act_bits / 2 |
// [7] weights of 2 bits or more | [5:4] weight bits - 2 | [1:0] input bits / 2
void write_formats(std::vector<uint32_t>* regs, const FnpLayerFacts& facts) {
  put(regs, kWordFormats, REG3_INPUT_BITS, facts.input_bits / 2u);
  const bool multibit = facts.weights_bits != 1;
  put(regs, kWordFormats, REG3_WEIGHTS_BITS, multibit ? static_cast<uint32_t>(facts.weights_bits - 2) : 0);
  put(regs, kWordFormats, REG3_MULTIBIT_WEIGHTS, bit(multibit));
  put(regs, kWordFormats, REG3_ACT_BITS, static_cast<uint32_t>(facts.act_bits) / 2);
  put(regs, kWordFormats, REG3_ACTIVATION, bit(facts.activation));
  put(regs, kWordFormats, REG3_NP_NUM, 1);
  put(regs, kWordFormats, REG3_LAYER_ID, facts.layer_tag);
}

// Words 10, 11, 14: input window and packet size; 15, 16: neurons and output.
void write_window_and_neurons(std::vector<uint32_t>* regs, const FnpLayerFacts& facts) {
  const uint32_t width = facts.input[0], height = facts.input[1], channels = facts.input[2];
  put(regs, kWordWindowSize, REG10_I_SIZE_CUT, height);
  put(regs, kWordWindowSize, REG10_J_SIZE_CUT, width);
  put(regs, kWordWindowContainer, REG11_ICONT_SIZE, 0);
  put(regs, kWordWindowContainer, REG11_CH_SIZE, width * height);
  put(regs, kWordInputSizeCopy, REG14_BIT31, 1);
  put(regs, kWordInputSizeCopy, FNP1_FPKT_WSIZE, (channels * width * height + 31) / 32);
  put(regs, kWordFnpUnits, REG15_UNITS, static_cast<uint32_t>(facts.units));
  put(regs, kWordFnpOutput, REG16_BITS0_17, 0);
  put(regs, kWordFnpOutput, REG16_BIT28, 0);
  put(regs, kWordFnpOutput, REG16_ACTIVATION, bit(facts.activation));
}

// Word 17 (FNP3): [23:20] weight blocks | [15:0] image words.
void write_weight_blocks(std::vector<uint32_t>* regs, const Layer& layer, const FnpLayerFacts& facts) {
  const uint32_t size = fnp_sram_size(layer.variables().get("weights")->shape(), facts.weights_bits);
  const uint32_t block = ((regs->at(kWordFnpBlockSize) >> REG12_FNP_BLOCK_UNITS.offset) & 0xFF) * kFnpBlockUnitWords;
  put(regs, kWordFnpWeightBlocks, FNP4_W_SIZE_LAST, size);
  put(regs, kWordFnpWeightBlocks, FNP4_W_BLK_COUNT, block == 0 ? 0 : (size + block - 1) / block);
}

const LearningParams* learning_params(const Layer& layer, bool learning) {
  const auto* dense = dynamic_cast<const FullyConnected*>(&layer);
  return learning && dense != nullptr ? dense->learning() : nullptr;
}

}  // namespace

const hw::Component& mapped_fnp(const Layer& layer) {
  const LayerMapping& mapping = record_of(layer);
  if (mapping.nps->empty()) throw FnpError(fnp_unmapped_message(layer.name()));
  return mapping.nps->front();
}

std::map<hw::Ident, std::vector<uint32_t>> format_fnp_regs(const Device& device, const Layer& layer, bool learning,
                                                           std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                           bool route_flag) {
  const LayerMapping& mapping = record_of(layer);
  const FnpLayerFacts facts = read_facts(layer, mapping);
  std::vector<uint32_t> regs = default_np_regs();
  write_np_mode(&regs, facts);
  write_formats(&regs, facts);
  write_window_and_neurons(&regs, facts);
  if (!facts.external_memory) write_weight_blocks(&regs, layer, facts);
  format_learning_common_regs(&regs, learning_params(layer, learning));

  const v2::MeshRoutingLists routing = v2::mesh_routing_lists(mapping);
  format_mesh_registers_set_output_to_NPs(&regs, routing.sources, *mapping.nps, routing.destinations,
                                          mapping.output_id, mapping.p2p_input, mapping.p2p_output, route_flag);
  if (facts.external_memory) {
    if (device.mesh() == nullptr) throw std::invalid_argument(kMsgFnp2WithoutMesh);
    format_mesh_cfg_dma_reg(&regs, device.mesh()->dma_conf);
  }
  if (reconfig_layer) write_reconfig_view(&regs, *reconfig_layer, facts.ident);
  if (ib_spikes) set_ib_spikes(&regs);
  return {{facts.ident, std::move(regs)}};
}

}  // namespace ornix::v1
