#include "backend/v2/skip_dma_recording.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>
#include <utility>

#include "backend/v2/mesh_idents.h"
#include "backend/v2/recorder_messages.h"
#include "backend/v2/register_format_messages.h"
#include "backend/v2/skip_dma_messages.h"
#include "backend/v2/skip_dma_registers.h"
#include "mapping/layer_mapping.h"
#include "mapping/layer_mapping_messages.h"
#include "ornix/panic.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

using Words = std::vector<uint32_t>;

constexpr uint32_t kBitsPerWord = 32;

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }

// The one-hot code of an ident id; ids beyond 31 give a value no field takes.

// Register `offset` of `channel`, in 16-bit address arithmetic.
uint16_t channel_address(uint8_t channel, uint16_t offset) {
  return static_cast<uint16_t>(uint32_t{channel} * kSkipDmaChannelStride + offset);
}

// A value computed in 64 bits: one beyond 32 bits panics with its full value.
void set_wide_field(uint32_t* word, const RegDetail& field, uint64_t value) {
  if (value > std::numeric_limits<uint32_t>::max()) {
    panic(kMsgWideFieldOverflowFormat, static_cast<unsigned long long>(value), field.width);
  }
  set_field(word, field, static_cast<uint32_t>(value));
}

uint64_t words_for_bits(uint64_t bits) { return (bits + kBitsPerWord - 1) / kBitsPerWord; }

void add(SkipDmaRegisters& regs, uint16_t address, Words words) { regs.try_emplace(address, std::move(words)); }



program::Record& checked(program::Record* record) {
  if (record == nullptr) throw std::invalid_argument(kMsgSkipDmaWithoutRecord);
  return *record;
}

std::shared_ptr<const LayerMapping> mapping_of(const Layer& layer) {
  auto mapping = layer_mapping_of(layer);
  if (mapping == nullptr) throw std::invalid_argument(missing_layer_mapping_message(layer.name()));
  return mapping;
}

// What a store channel writes, by case.
struct StorePlan {
  const hw::Component* store = nullptr;
  uint32_t stream_id = 0;
  bool forward = false;  // the store also forwards the data to `targets`
  std::vector<hw::Component> targets;
  bool from_output = false;  // the stored data is the layer's output (else its input)
};

bool store_forwards(const LayerMapping& mapping, const Layer& layer) {
  if (mapping.skip_store == nullptr) throw std::invalid_argument(skipdma_store_without_info(layer.name()));
  return mapping.skip_store->mode != 0;
}

// A TNP-B layer's input components: its inputs, its load and, when it reloads its own FIFO,
// its stores.
std::vector<hw::Component> tnp_b_sources(const LayerMapping& mapping) {
  std::vector<hw::Component> sources;
  for (const SharedComponents& list : mapping.inputs) sources.insert(sources.end(), list->begin(), list->end());
  sources.insert(sources.end(), mapping.skipdma_loads.begin(), mapping.skipdma_loads.end());
  if (mapping.tnp_b_fifo) sources.insert(sources.end(), mapping.skipdma_stores.begin(), mapping.skipdma_stores.end());
  return sources;
}

StorePlan plan_store(const LayerMapping& mapping, const Layer& layer, bool dual_output, bool tnp_b) {
  StorePlan plan;
  plan.store = dual_output ? mapping.skipdma_store_dual_output() : mapping.skipdma_store();
  if (plan.store == nullptr) throw std::runtime_error(kMsgSkipDmaStoreNull);
  if (tnp_b) {
    plan.stream_id = uint32_t{mapping.layer_id} - 1;  // wraps for layer id 0, which no field takes
    plan.forward = !dual_output && store_forwards(mapping, layer);
    if (plan.forward) plan.targets = tnp_b_sources(mapping);
  } else if (dual_output) {
    plan.stream_id = mapping.merge_info->dual_output_channel_id;  // present: the dual store exists
  } else {
    plan.stream_id = mapping.output_id;
    plan.forward = store_forwards(mapping, layer);
    if (plan.forward) plan.targets = *mapping.nps;
    plan.from_output = true;
  }
  return plan;
}

// [3:0] fifo_size | [28] 0; [9:0] line words; [20:0] block words. Over the stored data's
// (d0, d1, d2) at `bits` bits: on TNP-B, lines of ceil(bits x d2 / 32) words and blocks of d0
// lines; otherwise lines of ceil(bits x d0 / 32) words and blocks of d1 lines.
Words store_geometry(const Layer& layer, bool from_output, bool tnp_b, uint32_t fifo_size) {
  const uint64_t bits = from_output ? layer.output_bits() : layer.input_bits();
  const Shape dims = from_output ? layer.output_dimensions() : layer.input_dimensions().at(0);
  Words words(3, 0);
  set_field(&words[0], SKIPDMA_GEOMETRY0_FIFO, tnp_b ? fifo_size : 0);
  set_field(&words[0], SKIPDMA_GEOMETRY0_BIT28, 0);
  const uint64_t line = words_for_bits(bits * (tnp_b ? dims[2] : dims[0]));
  set_wide_field(&words[1], SKIPDMA_GEOMETRY1_LINE_WORDS, line);
  set_wide_field(&words[2], SKIPDMA_GEOMETRY2_BLOCK_WORDS, (tnp_b ? dims[0] : dims[1]) * line);
  return words;
}

// [7:0] 1 when TNP-B or forwarding | [15:8] stream id
uint32_t store_stream_word(const StorePlan& plan, bool tnp_b) {
  uint32_t word = 0;
  set_field(&word, SKIPDMA_STORE_FORWARD, bit(tnp_b || plan.forward));
  set_field(&word, SKIPDMA_STORE_STREAM, plan.stream_id);
  return word;
}

// [15:0] 2 | [23:16] FIFO size (2 unless TNP-B)
uint32_t load_reg03_word(uint32_t fifo) {
  uint32_t word = 0;
  set_field(&word, SKIPDMA_REG03_LOW, kSkipDmaReg03Low);
  set_field(&word, SKIPDMA_REG03_FIFO, fifo);
  return word;
}

void format_load(SkipDmaBlocks& blocks, const Layer& layer, const LayerMapping& mapping, const hw::Component& load,
                 bool tnp_b, uint32_t fifo_size) {
  if (mapping.skip_load == nullptr) throw std::invalid_argument(skipdma_load_without_info(layer.name()));
  const uint8_t channel = load.ident.channel;
  const uint32_t consumer_id = mapping.merge_info ? mapping.merge_info->channel_id : uint32_t{mapping.layer_id};
  SkipDmaRegisters regs;
  format_skipdma_load_registers(regs, channel, mapping.skip_load->channel_id, consumer_id, *mapping.nps,
                                mapping.skip_load->concat_offset);
  if (!tnp_b) add(regs, channel_address(channel, kSkipDmaReg28), {kSkipDmaReg28Word});
  add(regs, channel_address(channel, kSkipDmaReg03), {load_reg03_word(tnp_b ? fifo_size : kSkipDmaReg03Fifo)});
  blocks.add(load.ident, regs);
}

void format_store(SkipDmaBlocks& blocks, const Layer& layer, bool dual_output, bool tnp_b, uint32_t fifo_size) {
  const auto mapping = mapping_of(layer);
  const StorePlan plan = plan_store(*mapping, layer, dual_output, tnp_b);
  const uint8_t channel = plan.store->ident.channel;

  SkipDmaRegisters regs;
  add(regs, kSkipDmaShared, {kSkipDmaSharedWord});
  add(regs, channel_address(channel, kSkipDmaStoreStream), {store_stream_word(plan, tnp_b)});
  if (plan.forward) {
    add(regs, channel_address(channel, kSkipDmaStoreTarget), {format_skipdma_target_word(plan.targets)});
  }
  uint32_t count = 0;
  set_wide_field(&count, SKIPDMA_REG22_COUNT, tnp_b ? uint64_t{fifo_size} + 1 : kSkipDmaReg22Count);
  add(regs, channel_address(channel, kSkipDmaReg22), {kSkipDmaReg22Word0, count});
  add(regs, channel_address(channel, kSkipDmaReg1C), {kSkipDmaReg1CWord});
  add(regs, channel_address(channel, kSkipDmaStoreGeometry), store_geometry(layer, plan.from_output, tnp_b, fifo_size));
  blocks.add(plan.store->ident, regs);
}

}  // namespace

// One component: [3:0] 2 | [7:4] 1 << id | [23:16] row | [31:24] col.
// Several:       [3:0] 1 | [23:16] smallest col | [31:24] largest col.
uint32_t format_skipdma_target_word(const std::vector<hw::Component>& components) {
  if (components.empty()) throw std::invalid_argument(kMsgSkipDmaTargetsEmpty);
  uint32_t word = 0;
  if (components.size() == 1) {
    const hw::Ident& ident = components.front().ident;
    set_field(&word, SKIPDMA_TARGET_MODE, kSkipDmaTargetOneNp);
    set_field(&word, SKIPDMA_TARGET_NP_SELECT, one_hot_id(ident.id));
    set_field(&word, SKIPDMA_TARGET_ROW, ident.row);
    set_field(&word, SKIPDMA_TARGET_COL, ident.col);
    return word;
  }
  const auto [low, high] = std::minmax_element(
      components.begin(), components.end(),
      [](const hw::Component& a, const hw::Component& b) { return a.ident.col < b.ident.col; });
  set_field(&word, SKIPDMA_TARGET_MODE, kSkipDmaTargetColumns);
  set_field(&word, SKIPDMA_TARGET_MIN_COL, low->ident.col);
  set_field(&word, SKIPDMA_TARGET_MAX_COL, high->ident.col);
  return word;
}

// Descriptor: target word; [15:8] consumer; [7:0] 1 | [15:8] stream | [23:16] consumer | [31:24] consumer.
void format_skipdma_load_registers(SkipDmaRegisters& out, uint8_t channel, uint8_t stream_id, uint32_t consumer_id,
                                   const std::vector<hw::Component>& nps, uint32_t channel_offset) {
  const bool all_allocated =
      std::all_of(nps.begin(), nps.end(), [](const hw::Component& np) { return np.allocation.has_value(); });
  if (!all_allocated) throw std::invalid_argument(kMsgMergingLayerHasNoCnps);
  Words descriptor(3, 0);
  descriptor[0] = format_skipdma_target_word(nps);
  set_field(&descriptor[1], SKIPDMA_LOAD1_CONSUMER, consumer_id);
  set_field(&descriptor[2], SKIPDMA_LOAD2_BYTE0, kSkipDmaLoad2Byte0);
  set_field(&descriptor[2], SKIPDMA_LOAD2_STREAM, stream_id);
  set_field(&descriptor[2], SKIPDMA_LOAD2_CONSUMER_A, consumer_id);
  set_field(&descriptor[2], SKIPDMA_LOAD2_CONSUMER_B, consumer_id);
  uint32_t offset = 0;
  set_field(&offset, SKIPDMA_CHANNEL_OFFSET, channel_offset);

  add(out, kSkipDmaShared, {kSkipDmaSharedWord});
  add(out, channel_address(channel, kSkipDmaLoadDescriptor), std::move(descriptor));
  add(out, channel_address(channel, kSkipDmaLoadChannelOffset), {offset});
}

void SkipDmaBlocks::add(const hw::Ident& ident, const SkipDmaRegisters& registers) {
  for (const auto& [address, words] : registers) blocks_.push_back({ident, address, words});
}

void SkipDmaBlocks::plan(std::vector<program::PlannedBlock>* blocks) const {
  for (const Block& block : blocks_) {
    blocks->push_back({block.ident, dma::Target::SkipDma, block.address, block.words.size(), &block.words, {}});
  }
}

void SkipDmaBlocks::add_to(program::Record& record) const {
  std::vector<program::PlannedBlock> planned;
  plan(&planned);
  program::add_planned_blocks(record, planned);
}

SkipDmaBlocks skipdma_blocks(const Layer& layer) {
  const auto mapping = mapping_of(layer);
  const bool tnp_b = layer.is_target_component(ComponentKind::TNP_B);
  const uint32_t fifo_size = tnp_b ? static_cast<uint32_t>(param_of(layer, kParamFifoSize)) : 0;
  const hw::Component* load = mapping->skipdma_load();

  SkipDmaBlocks blocks;
  if (tnp_b) {
    if (load == nullptr) throw std::runtime_error(kMsgSkipDmaLoadNull);
    const uint16_t address = channel_address(load->ident.channel, kSkipDmaReg00);
    // Twice the same register: a map would keep one.
    blocks.add(load->ident, {{address, {kSkipDmaTnpBReg00Word}}});
    blocks.add(load->ident, {{address, {kSkipDmaTnpBReg00Word}}});
  }
  if (mapping->skipdma_store() != nullptr) format_store(blocks, layer, false, tnp_b, fifo_size);
  if (mapping->skipdma_store_dual_output() != nullptr) format_store(blocks, layer, true, tnp_b, fifo_size);
  if (load != nullptr) format_load(blocks, layer, *mapping, *load, tnp_b, fifo_size);
  return blocks;
}

void record_skipdma_store(program::Record* record, const Layer& layer, bool dual_output, bool tnp_b,
                          uint32_t fifo_size) {
  program::Record& out = checked(record);
  SkipDmaBlocks blocks;
  format_store(blocks, layer, dual_output, tnp_b, fifo_size);
  blocks.add_to(out);
}

void record_skipdma(program::Record* record, const Layer& layer) {
  program::Record& out = checked(record);
  skipdma_blocks(layer).add_to(out);
}

}  // namespace ornix::v2
