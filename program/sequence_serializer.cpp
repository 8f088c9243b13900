#include "program/sequence_serializer.h"

#include <stdexcept>
#include <utility>

#include "hardware/mapping_status.h"
#include "mapping/layer_mapping.h"
#include "program/config_header_fb.h"
#include "program/limits.h"
#include "program/messages.h"
#include "program/program_builder.h"

namespace ornix {

namespace {

template <typename T>
const T& checked_record(const std::unique_ptr<T>& record) {
  if (!record) throw std::runtime_error(program::kMsgNoRecord);
  return *record;
}

// Gives a layer mapping `layer_id` for its lifetime, then restores the former value.
class LayerIdSwap {
 public:
  LayerIdSwap(LayerMapping& mapping, uint8_t layer_id) : mapping_(mapping), saved_(mapping.layer_id) {
    mapping_.layer_id = layer_id;
  }
  ~LayerIdSwap() { mapping_.layer_id = saved_; }
  LayerIdSwap(const LayerIdSwap&) = delete;
  LayerIdSwap& operator=(const LayerIdSwap&) = delete;

 private:
  LayerMapping& mapping_;
  uint8_t saved_;
};

}  // namespace

SequenceSerializer::SequenceSerializer(const LayerRecorder& layer_recorder, const IoRecorder& io_recorder)
    : track_arena_(std::make_shared<program::TrackArena>()),
      info_builder_(make_program_builder(program::kBuilderInitialSize)),
      layer_recorder_(layer_recorder),
      io_recorder_(io_recorder) {}

void SequenceSerializer::serialize_version(const HwVersion& version) {
  device_version_ = fb::CreateDeviceVersion(*info_builder_, version.vendor_id, version.product_id, version.major_rev,
                                            version.minor_rev);
}

bool SequenceSerializer::serialize_scc_program(bool input_on_hrc, bool input_type_is_0, bool hrc_only,
                                               bool output_type_is_0, bool output_bits, Shape input_shape,
                                               Shape output_shape) {
  const program::TrackArenaScope arena(track_arena_);
  auto record = io_recorder_.record_scc(input_on_hrc, input_type_is_0, hrc_only, output_type_is_0, output_bits,
                                        input_shape, output_shape);
  checked_record(record);
  data_steps_.emplace_back(KeptRecord{std::move(record), Placement::Pass});
  return true;
}

uint32_t SequenceSerializer::serialize_layer_program(const Layer& layer, const Layer& first_layer,
                                                     std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
                                                     bool ends_pass, const std::vector<hw::Ident>& idle_nps,
                                                     bool registers_only, bool fnp_padding) {
  return record_layer(Placement::Pass, layer, first_layer, std::move(next_pass_layer), opens_pass, ends_pass, idle_nps,
                      registers_only, fnp_padding);
}

SequenceSerializer::RecordedLayer SequenceSerializer::serialize_layer(
    const Layer& layer, const Layer& first_layer, std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
    bool ends_pass, const std::vector<hw::Ident>& idle_nps, bool registers_only, bool fnp_padding) {
  return {record_layer(Placement::Alone, layer, first_layer, std::move(next_pass_layer), opens_pass, ends_pass,
                       idle_nps, registers_only, fnp_padding)};
}

uint32_t SequenceSerializer::record_layer(Placement placement, const Layer& layer, const Layer& first_layer,
                                          std::shared_ptr<Layer> next_pass_layer, bool opens_pass, bool ends_pass,
                                          const std::vector<hw::Ident>& idle_nps, bool registers_only,
                                          bool fnp_padding) {
  try {
    const program::TrackArenaScope arena(track_arena_);
    auto record = layer_recorder_.record_layer(layer, first_layer, std::move(next_pass_layer), opens_pass, ends_pass,
                                               idle_nps, registers_only, fnp_padding);
    const auto track_count = static_cast<uint32_t>(checked_record(record).tracks.size());
    data_steps_.emplace_back(KeptRecord{std::move(record), placement});
    return track_count;
  } catch (const std::exception& error) {
    LayerMappingError(layer, program::kMsgProgrammingLayer + std::string(error.what())).throw_exception();
  }
}

uint32_t SequenceSerializer::serialize_unused_nps_program(std::shared_ptr<Layer> layer,
                                                          std::shared_ptr<Layer> first_layer,
                                                          const std::vector<hw::Ident>& idle_nps) {
  const auto mapping = layer_mapping_of(*layer);
  if (!mapping) throw std::invalid_argument(program::idle_nps_without_layer_mapping(layer->name()));
  // The idle NPs receive what the previous pass sends to this pass.
  const LayerIdSwap id_swap(*mapping, mapping->input_id);
  return serialize_layer_program(*layer, *first_layer, layer, false, false, idle_nps, true, false);
}

uint32_t SequenceSerializer::serialize_learning_layer_program(const Layer& layer, bool ib_spikes) {
  program::LearnRecordsPtr records;
  try {
    const program::TrackArenaScope arena(track_arena_);
    records = layer_recorder_.record_learning_layer(layer, ib_spikes);
    // The program info locates the register records by their first track and the memory record
    // by its filters track or, without one, its first track.
    for (const program::Record* record : {records.record0.get(), records.record1.get(), records.record2.get()}) {
      const bool located = record != nullptr && (!record->tracks.empty() || (record == records.record2.get() &&
                                                                              record->fnp2_filters != nullptr));
      if (!located) throw std::runtime_error(program::kMsgLearningRecordWithoutTrack);
    }
  } catch (const std::exception& error) {
    throw std::runtime_error(program::programming_learning_layer(layer.name()) + error.what());
  }

  const auto mapping = layer.mapping();
  if (!mapping || !mapping->nps || mapping->nps->empty()) {
    throw std::out_of_range(program::learning_layer_without_component(layer.name()));
  }
  const auto track_count = static_cast<uint32_t>(records.record1->tracks.size() + records.record2->tracks.size());
  for (auto* record : {&records.record0, &records.record1, &records.record2}) {
    data_steps_.emplace_back(KeptRecord{std::move(*record), Placement::Learning});
  }
  data_steps_.emplace_back(LearningTable{to_fb_ident(mapping->nps->front().ident), records.count});
  return track_count;
}

void SequenceSerializer::finalize_pass() {
  data_steps_.emplace_back(PassEnd{});
  ++closed_passes_;
}

void SequenceSerializer::serialize_epg_tracks(const Layer& first_layer, uint8_t col_low, uint8_t col_high,
                                              uint8_t epg_byte, bool hrc_only, bool several_passes,
                                              bool input_type_is_0) {
  const auto values =
      io_recorder_.record_epg(first_layer, col_low, col_high, epg_byte, hrc_only, several_passes, input_type_is_0);
  for (const auto& [offset, value] : checked_record(values)) epg_registers_.emplace_back(offset, value);
}

void SequenceSerializer::record_dummy_desc_hdr(bool record) {
  if (record) dummy_header_ = format_config_header_fb(hw::Ident{}, dma::Target::RegisterWrite, 1, 0);
}

}  // namespace ornix
