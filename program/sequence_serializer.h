#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapping/io_recorder.h"
#include "mapping/layer_recorder.h"
#include "ornix/hw/ident.h"
#include "ornix/hw_version.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"
#include "ornix/shape.h"
#include "program/record.h"
#include "program_format/program_generated.h"

namespace ornix {

// Writes the passes of one hardware sequence into the device program: records from the
// generation's recorders go into the program-data buffer as they come; finalize() then writes
// the program-info buffer, which locates every track of the finished data buffer, and hands
// out both buffers size-prefixed and concatenated (info first).
//
// Call order: serialize_version; per pass, in the first pass serialize_scc_program first, then
// the layers' programs (serialize_layer_program, serialize_learning_layer_program,
// serialize_unused_nps_program) and finalize_pass; then serialize_epg_tracks (optional),
// record_dummy_desc_hdr and finalize, once. The serializer is then spent.
//
// Track counts are exact (not cut to 8 bits): the caller checks them against the 8-bit
// descriptor budget of the program.
class SequenceSerializer {
 public:
  // Both recorders are borrowed and must outlive the serializer.
  SequenceSerializer(const LayerRecorder& layer_recorder, const IoRecorder& io_recorder);
  SequenceSerializer(const SequenceSerializer&) = delete;
  SequenceSerializer& operator=(const SequenceSerializer&) = delete;

  // Writes the device's version: the first object of the info buffer.
  void serialize_version(const HwVersion& version);

  // Records the SCC program (IoRecorder::record_scc with these arguments) into the current
  // pass. Always true.
  bool serialize_scc_program(bool input_on_hrc, bool input_type_is_0, bool hrc_only, bool output_type_is_0,
                             bool output_bits, Shape input_shape, Shape output_shape);

  // Records `layer` (LayerRecorder::record_layer with these arguments) into the current pass;
  // returns the record's track count. A std::exception of the recorder or of writing its record
  // becomes the runtime error of LayerMappingError(layer, "Error when programming layer: " +
  // what); other exceptions pass unchanged.
  uint32_t serialize_layer_program(const Layer& layer, const Layer& first_layer,
                                   std::shared_ptr<Layer> next_pass_layer, bool opens_pass, bool ends_pass,
                                   const std::vector<hw::Ident>& idle_nps, bool registers_only, bool fnp_padding);

  // Where serialize_layer left a record: its track count and its table in the data buffer.
  struct RecordedLayer {
    uint32_t track_count = 0;
    uint32_t offset = 0;
  };
  // serialize_layer_program without adding the record to the current pass.
  RecordedLayer serialize_layer(const Layer& layer, const Layer& first_layer, std::shared_ptr<Layer> next_pass_layer,
                                bool opens_pass, bool ends_pass, const std::vector<hw::Ident>& idle_nps,
                                bool registers_only, bool fnp_padding);

  // Programs the NPs `idle_nps` with `layer`'s program, registers only, into the current pass;
  // returns the track count. During the recorder's call the layer's LayerMapping carries its
  // input_id as layer_id; layer_id is restored on every path. std::invalid_argument when the
  // layer's mapping is not a LayerMapping.
  uint32_t serialize_unused_nps_program(std::shared_ptr<Layer> layer, std::shared_ptr<Layer> first_layer,
                                        const std::vector<hw::Ident>& idle_nps);

  // Records the three records of a learning layer into the data buffer's learning table (in
  // no pass); returns the track count of record1 and record2. A std::exception of the recorder
  // or of writing the records, and a register record without a track or a memory record with
  // neither a track nor a filters track, become std::runtime_error
  // "Error when programming layer '<name>': " + what. A layer mapped on no component:
  // std::out_of_range, before the learning table is written.
  uint32_t serialize_learning_layer_program(const Layer& layer, bool ib_spikes);

  // Writes one record into the data buffer; returns the offset of its table.
  uint32_t serialize_record(const program::Record& record);

  // Closes the current pass (also when it holds no record).
  void finalize_pass();

  // Appends the EPG register values (IoRecorder::record_epg with these arguments).
  void serialize_epg_tracks(const Layer& first_layer, uint8_t col_low, uint8_t col_high, uint8_t epg_byte,
                            bool hrc_only, bool several_passes, bool input_type_is_0);

  // With true, the dummy descriptor header becomes a register write of size 1 at address 0 to
  // the all-zero identifier; with false it stays two zero words.
  void record_dummy_desc_hdr(bool record);

  // Finishes both buffers and replaces *program with the info buffer followed by the data
  // buffer. `passes` are the sequence's passes, one per finalize_pass, in order; their layers
  // give the skip-DMA entries. std::logic_error when serialize_version did not run,
  // std::invalid_argument when `passes` does not match the closed passes; *program is changed
  // only on success.
  void finalize(const std::string& version, const Shape& input_shape, const Shape& output_shape, int8_t input_type,
                int8_t output_type, uint8_t output_bits, bool last_layer_flag, uint32_t input_param_1,
                uint32_t input_param_0, const std::vector<int32_t>& thresholds, const std::vector<float>& scales,
                uint8_t descriptors_per_pass, std::vector<uint8_t>* program,
                const std::vector<std::shared_ptr<Sequence::Pass>>& passes);

 private:
  // The info buffer's pass spans and learning layer info, from the finished data buffer.
  std::vector<flatbuffers::Offset<fb::PassSpans>> write_pass_spans(
      const uint8_t* data_part, const std::vector<std::shared_ptr<Sequence::Pass>>& passes);
  flatbuffers::Offset<fb::LearningLayerInfo> write_learning_info(const uint8_t* data_part);

  std::unique_ptr<flatbuffers::FlatBufferBuilder> data_builder_;
  std::unique_ptr<flatbuffers::FlatBufferBuilder> info_builder_;
  std::optional<flatbuffers::Offset<fb::DeviceVersion>> device_version_;  // set by serialize_version
  flatbuffers::Offset<fb::LearningRecords> learning_;                    // 0 until a learning layer
  std::vector<flatbuffers::Offset<fb::Pass>> passes_;
  std::vector<flatbuffers::Offset<fb::Record>> current_pass_records_;
  std::vector<fb::RegisterValue> epg_registers_;
  fb::ConfigHeader dummy_header_;  // two zero words until recorded
  const LayerRecorder& layer_recorder_;
  const IoRecorder& io_recorder_;
};

}  // namespace ornix
