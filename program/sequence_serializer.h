#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "mapping/io_recorder.h"
#include "mapping/layer_recorder.h"
#include "ornix/hw/ident.h"
#include "ornix/hw_version.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"
#include "ornix/shape.h"
#include "program/program_bytes.h"
#include "program/record.h"
#include "program/track_arena.h"
#include "program_format/program_generated.h"

namespace ornix {

// Writes the passes of one hardware sequence into the device program. The records of the
// generation's recorders are kept, in the order they come, until finalize(): then the size of
// the program-data buffer is known, and its builder is made large enough for it and for the
// program-info buffer, so every word is written into it once and never moved. The info buffer,
// which locates every track of the finished data buffer, is then put in front of the data in
// the same memory, and both go out size-prefixed and concatenated (info first).
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

  // What serialize_layer recorded: the record's track count.
  struct RecordedLayer {
    uint32_t track_count = 0;
  };
  // serialize_layer_program without adding the record to the current pass: the record is
  // written into the data buffer, in no pass.
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

  // Closes the current pass (also when it holds no record).
  void finalize_pass();

  // Appends the EPG register values (IoRecorder::record_epg with these arguments).
  void serialize_epg_tracks(const Layer& first_layer, uint8_t col_low, uint8_t col_high, uint8_t epg_byte,
                            bool hrc_only, bool several_passes, bool input_type_is_0);

  // With true, the dummy descriptor header becomes a register write of size 1 at address 0 to
  // the all-zero identifier; with false it stays two zero words.
  void record_dummy_desc_hdr(bool record);

  // Finishes both buffers and replaces *program with the info buffer followed by the data
  // buffer, handing over the memory they were written into. `passes` are the sequence's
  // passes, one per finalize_pass, in order; their layers give the skip-DMA entries.
  // std::logic_error when serialize_version did not run, std::invalid_argument when `passes`
  // does not match the closed passes; *program is changed only on success.
  void finalize(const std::string& version, const Shape& input_shape, const Shape& output_shape, int8_t input_type,
                int8_t output_type, uint8_t output_bits, bool last_layer_flag, uint32_t input_param_1,
                uint32_t input_param_0, const std::vector<int32_t>& thresholds, const std::vector<float>& scales,
                uint8_t descriptors_per_pass, ProgramBytes* program,
                const std::vector<std::shared_ptr<Sequence::Pass>>& passes);
  // The same into a vector of bytes (a copy of the program).
  void finalize(const std::string& version, const Shape& input_shape, const Shape& output_shape, int8_t input_type,
                int8_t output_type, uint8_t output_bits, bool last_layer_flag, uint32_t input_param_1,
                uint32_t input_param_0, const std::vector<int32_t>& thresholds, const std::vector<float>& scales,
                uint8_t descriptors_per_pass, std::vector<uint8_t>* program,
                const std::vector<std::shared_ptr<Sequence::Pass>>& passes);

 private:
  // Where a kept record goes in the data buffer: into the pass being serialized, into the
  // learning table, or into neither (written, referenced by no table).
  enum class Placement : uint8_t { Pass, Learning, Alone };
  struct KeptRecord {
    std::unique_ptr<program::Record> record;
    Placement placement;
  };
  // The learning table over the last three learning records kept before it.
  struct LearningTable {
    fb::Ident ident;
    uint32_t count;
  };
  struct PassEnd {};
  // One step of writing the data buffer, in creation order.
  using DataStep = std::variant<KeptRecord, LearningTable, PassEnd>;

  uint32_t record_layer(Placement placement, const Layer& layer, const Layer& first_layer,
                        std::shared_ptr<Layer> next_pass_layer, bool opens_pass, bool ends_pass,
                        const std::vector<hw::Ident>& idle_nps, bool registers_only, bool fnp_padding);
  // An upper bound of the bytes of the data buffer and of the info buffer.
  size_t data_bytes_bound() const;
  size_t info_bytes_bound(const std::string& version, const Shape& input_shape, const Shape& output_shape,
                          const std::vector<int32_t>& thresholds, const std::vector<float>& scales,
                          const std::vector<std::shared_ptr<Sequence::Pass>>& passes) const;
  // Writes the kept steps into `builder` and finishes it size-prefixed.
  void write_data(flatbuffers::FlatBufferBuilder& builder) const;
  // The info buffer's pass spans and learning layer info, from the finished data buffer.
  std::vector<flatbuffers::Offset<fb::PassSpans>> write_pass_spans(
      const uint8_t* data_part, const std::vector<std::shared_ptr<Sequence::Pass>>& passes);
  flatbuffers::Offset<fb::LearningLayerInfo> write_learning_info(const uint8_t* data_part);

  // The memory of every track the recorders write for this program (current during their calls).
  std::shared_ptr<program::TrackArena> track_arena_;
  std::unique_ptr<flatbuffers::FlatBufferBuilder> info_builder_;
  std::optional<flatbuffers::Offset<fb::DeviceVersion>> device_version_;  // set by serialize_version
  std::vector<DataStep> data_steps_;
  size_t closed_passes_ = 0;
  std::vector<fb::RegisterValue> epg_registers_;
  fb::ConfigHeader dummy_header_;  // two zero words until recorded
  const LayerRecorder& layer_recorder_;
  const IoRecorder& io_recorder_;
};

}  // namespace ornix
