#include "program/sequence_serializer.h"

#include <stdexcept>
#include <utility>

#include "hardware/mapping_status.h"
#include "mapping/layer_mapping.h"
#include "program/config_header_fb.h"
#include "program/limits.h"
#include "program/messages.h"

namespace ornix {

namespace {

std::unique_ptr<flatbuffers::FlatBufferBuilder> make_builder() {
  auto builder = std::make_unique<flatbuffers::FlatBufferBuilder>(program::kBuilderInitialSize, nullptr, false,
                                                                   program::kBuilderAlignment);
  builder->DedupVtables(true);
  builder->ForceDefaults(false);
  return builder;
}

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
    : data_builder_(make_builder()),
      info_builder_(make_builder()),
      layer_recorder_(layer_recorder),
      io_recorder_(io_recorder) {}

void SequenceSerializer::serialize_version(const HwVersion& version) {
  device_version_ = fb::CreateDeviceVersion(*info_builder_, version.vendor_id, version.product_id, version.major_rev,
                                            version.minor_rev);
}

bool SequenceSerializer::serialize_scc_program(bool input_on_hrc, bool input_type_is_0, bool hrc_only,
                                               bool output_type_is_0, bool output_bits, Shape input_shape,
                                               Shape output_shape) {
  const auto record = io_recorder_.record_scc(input_on_hrc, input_type_is_0, hrc_only, output_type_is_0, output_bits,
                                              input_shape, output_shape);
  current_pass_records_.emplace_back(serialize_record(checked_record(record)));
  return true;
}

uint32_t SequenceSerializer::serialize_layer_program(const Layer& layer, const Layer& first_layer,
                                                     std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
                                                     bool ends_pass, const std::vector<hw::Ident>& idle_nps,
                                                     bool registers_only, bool fnp_padding) {
  const RecordedLayer recorded = serialize_layer(layer, first_layer, std::move(next_pass_layer), opens_pass, ends_pass,
                                                 idle_nps, registers_only, fnp_padding);
  current_pass_records_.emplace_back(recorded.offset);
  return recorded.track_count;
}

SequenceSerializer::RecordedLayer SequenceSerializer::serialize_layer(
    const Layer& layer, const Layer& first_layer, std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
    bool ends_pass, const std::vector<hw::Ident>& idle_nps, bool registers_only, bool fnp_padding) {
  try {
    const auto record = layer_recorder_.record_layer(layer, first_layer, std::move(next_pass_layer), opens_pass,
                                                     ends_pass, idle_nps, registers_only, fnp_padding);
    const uint32_t offset = serialize_record(checked_record(record));
    return {static_cast<uint32_t>(record->tracks.size()), offset};
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
  flatbuffers::Offset<fb::Record> written[3];
  try {
    records = layer_recorder_.record_learning_layer(layer, ib_spikes);
    const program::Record* const in_order[3] = {records.record0.get(), records.record1.get(), records.record2.get()};
    // The program info locates the register records by their first track and the memory record
    // by its filters track or, without one, its first track.
    for (const program::Record* record : in_order) {
      const bool located = record != nullptr && (!record->tracks.empty() || (record == records.record2.get() &&
                                                                              record->fnp2_filters != nullptr));
      if (!located) throw std::runtime_error(program::kMsgLearningRecordWithoutTrack);
    }
    for (int i = 0; i < 3; ++i) written[i] = serialize_record(*in_order[i]);
  } catch (const std::exception& error) {
    throw std::runtime_error(program::programming_learning_layer(layer.name()) + error.what());
  }

  const auto mapping = layer.mapping();
  if (!mapping || !mapping->nps || mapping->nps->empty()) {
    throw std::out_of_range(program::learning_layer_without_component(layer.name()));
  }
  const fb::Ident ident = to_fb_ident(mapping->nps->front().ident);
  learning_ = fb::CreateLearningRecords(*data_builder_, &ident, written[0], written[1], written[2], records.count);
  return static_cast<uint32_t>(records.record1->tracks.size() + records.record2->tracks.size());
}

uint32_t SequenceSerializer::serialize_record(const program::Record& record) {
  flatbuffers::FlatBufferBuilder& builder = *data_builder_;
  std::vector<flatbuffers::Offset<fb::NpTrack>> tracks;
  tracks.reserve(record.tracks.size());
  for (const program::NpTrack& track : record.tracks) {
    const auto words = builder.CreateVector(track.words);
    tracks.push_back(fb::CreateNpTrack(builder, words));
  }
  const auto track_vector = builder.CreateVector(tracks);
  flatbuffers::Offset<fb::FiltersTrack> filters;
  if (record.fnp2_filters) {
    const auto words = builder.CreateVector(record.fnp2_filters->words);
    const fb::Ident ident = to_fb_ident(record.fnp2_filters->ident);
    filters = fb::CreateFiltersTrack(builder, &ident, words);
  }
  return fb::CreateRecord(builder, track_vector, filters).o;
}

void SequenceSerializer::finalize_pass() {
  const auto records = data_builder_->CreateVector(current_pass_records_);
  passes_.push_back(fb::CreatePass(*data_builder_, records));
  current_pass_records_.clear();
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
