// The end of serialization: the data buffer is written and finished first, then the info buffer
// is written with spans read back from the finished data bytes and put in front of them.
#include <stdexcept>
#include <utility>
#include <variant>

#include "program/config_header_fb.h"
#include "program/limits.h"
#include "program/messages.h"
#include "program/page_blocks.h"
#include "program/program_builder.h"
#include "program/sequence_serializer.h"
#include "program/skip_dma_entries.h"

namespace ornix {

namespace {

// Span of a word vector of the data part starting at `data_part` (its size prefix).
fb::TrackSpan span_of(const uint8_t* data_part, const flatbuffers::Vector<uint32_t>& words) {
  const auto* first = reinterpret_cast<const uint8_t*>(words.Data());
  return fb::TrackSpan(static_cast<uint32_t>(first - data_part), words.size());
}

fb::TrackSpan first_track_span(const uint8_t* data_part, const fb::Record& record) {
  return span_of(data_part, *record.tracks()->Get(0)->words());
}

fb::FiltersSpan filters_span(const uint8_t* data_part, const fb::FiltersTrack& filters) {
  const fb::TrackSpan words = span_of(data_part, *filters.words());
  const fb::Ident* ident = filters.ident();
  return fb::FiltersSpan(words.offset(), words.word_count(), ident->col(), ident->row(), ident->id());
}

std::vector<uint32_t> dims_of(const Shape& shape) { return {shape.begin(), shape.end()}; }

flatbuffers::Offset<fb::Record> write_record(flatbuffers::FlatBufferBuilder& builder, const program::Record& record) {
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
  return fb::CreateRecord(builder, track_vector, filters);
}

}  // namespace

void SequenceSerializer::finalize(const std::string& version, const Shape& input_shape, const Shape& output_shape,
                                  int8_t input_type, int8_t output_type, uint8_t output_bits, bool last_layer_flag,
                                  uint32_t input_param_1, uint32_t input_param_0,
                                  const std::vector<int32_t>& thresholds, const std::vector<float>& scales,
                                  uint8_t descriptors_per_pass, std::vector<uint8_t>* program,
                                  const std::vector<std::shared_ptr<Sequence::Pass>>& passes) {
  ProgramBytes bytes;
  finalize(version, input_shape, output_shape, input_type, output_type, output_bits, last_layer_flag, input_param_1,
           input_param_0, thresholds, scales, descriptors_per_pass, &bytes, passes);
  program->assign(bytes.begin(), bytes.end());
}

void SequenceSerializer::finalize(const std::string& version, const Shape& input_shape, const Shape& output_shape,
                                  int8_t input_type, int8_t output_type, uint8_t output_bits, bool last_layer_flag,
                                  uint32_t input_param_1, uint32_t input_param_0,
                                  const std::vector<int32_t>& thresholds, const std::vector<float>& scales,
                                  uint8_t descriptors_per_pass, ProgramBytes* program,
                                  const std::vector<std::shared_ptr<Sequence::Pass>>& passes) {
  if (!device_version_) throw std::logic_error(program::kMsgDeviceVersionMissing);
  if (passes.size() != closed_passes_) {
    throw std::invalid_argument(program::pass_count_mismatch(passes.size(), closed_passes_));
  }

  // One allocation takes the data, written once, and then the info buffer in front of it.
  const auto data_builder = make_program_builder(
      data_bytes_bound() + info_bytes_bound(version, input_shape, output_shape, thresholds, scales, passes));
  write_data(*data_builder);
  const uint8_t* data_part = data_builder->GetBufferPointer();

  const auto pass_spans = write_pass_spans(data_part, passes);
  const auto learning_info = write_learning_info(data_part);
  const auto* data_root = flatbuffers::GetSizePrefixedRoot<fb::ProgramData>(data_part);
  const fb::TrackSpan dummy_header_span(
      static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(data_root->dummy_header()) - data_part),
      program::kDummyHeaderWords);
  const std::vector<uint32_t> input_dims = dims_of(input_shape);
  const std::vector<uint32_t> output_dims = dims_of(output_shape);
  const auto info_root = fb::CreateProgramInfoDirect(
      *info_builder_, version.c_str(), *device_version_, &input_dims, &output_dims, static_cast<fb::IoType>(input_type),
      static_cast<fb::IoType>(output_type), output_bits, last_layer_flag, input_param_1, input_param_0, &thresholds,
      &scales, descriptors_per_pass, epg_registers_.empty() ? nullptr : &epg_registers_, &pass_spans, learning_info,
      &dummy_header_span);
  info_builder_->FinishSizePrefixed(info_root);

  data_builder->PushBytes(info_builder_->GetBufferPointer(), info_builder_->GetSize());
  program::count_program_bytes_written(info_builder_->GetSize() + data_builder->GetSize());
  *program = ProgramBytes(data_builder->Release());
}

void SequenceSerializer::write_data(flatbuffers::FlatBufferBuilder& builder) const {
  std::vector<flatbuffers::Offset<fb::Pass>> passes;
  std::vector<flatbuffers::Offset<fb::Record>> pass_records;
  std::vector<flatbuffers::Offset<fb::Record>> learning_records;
  flatbuffers::Offset<fb::LearningRecords> learning;
  for (const DataStep& step : data_steps_) {
    if (const auto* kept = std::get_if<KeptRecord>(&step)) {
      const auto record = write_record(builder, *kept->record);
      if (kept->placement == Placement::Pass) pass_records.push_back(record);
      if (kept->placement == Placement::Learning) learning_records.push_back(record);
    } else if (const auto* table = std::get_if<LearningTable>(&step)) {
      const auto last = learning_records.end();
      learning = fb::CreateLearningRecords(builder, &table->ident, last[-3], last[-2], last[-1], table->count);
    } else {
      passes.push_back(fb::CreatePass(builder, builder.CreateVector(pass_records)));
      pass_records.clear();
    }
  }
  const auto pass_vector = builder.CreateVector(passes);
  builder.FinishSizePrefixed(fb::CreateProgramData(builder, pass_vector, learning, &dummy_header_));
}

size_t SequenceSerializer::data_bytes_bound() const {
  size_t bytes = program::kBytesPerBuffer;
  for (const DataStep& step : data_steps_) {
    if (const auto* kept = std::get_if<KeptRecord>(&step)) {
      bytes += program::kDataBytesPerRecord;
      for (const program::NpTrack& track : kept->record->tracks) {
        bytes += program::kDataBytesPerTrack + track.words.size() * sizeof(uint32_t);
      }
      if (kept->record->fnp2_filters) {
        bytes += program::kDataBytesPerTrack + kept->record->fnp2_filters->words.size() * sizeof(uint32_t);
      }
    } else {
      bytes += program::kDataBytesPerPass;
    }
  }
  return bytes;
}

size_t SequenceSerializer::info_bytes_bound(const std::string& version, const Shape& input_shape,
                                            const Shape& output_shape, const std::vector<int32_t>& thresholds,
                                            const std::vector<float>& scales,
                                            const std::vector<std::shared_ptr<Sequence::Pass>>& passes) const {
  size_t bytes = program::kBytesPerBuffer + version.size() +
                 program::kInfoBytesPerElement * (input_shape.size() + output_shape.size() + thresholds.size() +
                                                  scales.size() + epg_registers_.size());
  for (const auto& pass : passes) bytes += program::kInfoBytesPerPass + program::kInfoBytesPerLayer * pass->layers.size();
  for (const DataStep& step : data_steps_) {
    if (const auto* kept = std::get_if<KeptRecord>(&step)) {
      bytes += program::kInfoBytesPerRecord + program::kInfoBytesPerTrack * kept->record->tracks.size();
    }
  }
  return bytes;
}

std::vector<flatbuffers::Offset<fb::PassSpans>> SequenceSerializer::write_pass_spans(
    const uint8_t* data_part, const std::vector<std::shared_ptr<Sequence::Pass>>& passes) {
  flatbuffers::FlatBufferBuilder& builder = *info_builder_;
  const auto* data_root = flatbuffers::GetSizePrefixedRoot<fb::ProgramData>(data_part);
  std::vector<flatbuffers::Offset<fb::PassSpans>> pass_spans;
  for (flatbuffers::uoffset_t i = 0; i < data_root->passes()->size(); ++i) {
    std::vector<flatbuffers::Offset<fb::RecordSpans>> records;
    for (const fb::Record* record : *data_root->passes()->Get(i)->records()) {
      std::vector<fb::TrackSpan> tracks;
      for (const fb::NpTrack* track : *record->tracks()) tracks.push_back(span_of(data_part, *track->words()));
      const auto track_vector = builder.CreateVectorOfStructs(tracks);
      std::optional<fb::FiltersSpan> filters;
      if (record->filters()) filters = filters_span(data_part, *record->filters());
      records.push_back(fb::CreateRecordSpans(builder, track_vector, filters ? &*filters : nullptr));
    }
    const auto record_vector = builder.CreateVector(records);
    const SkipDmaEntries skip_dma = skip_dma_entries(passes[i]->layers);
    flatbuffers::Offset<flatbuffers::Vector<const fb::SKipDmaInfoTrack*>> stores;
    flatbuffers::Offset<flatbuffers::Vector<const fb::SKipDmaInfoTrack*>> loads;
    if (!skip_dma.stores.empty()) stores = builder.CreateVectorOfStructs(skip_dma.stores);
    if (!skip_dma.loads.empty()) loads = builder.CreateVectorOfStructs(skip_dma.loads);
    pass_spans.push_back(fb::CreatePassSpans(builder, record_vector, stores, loads));
  }
  return pass_spans;
}

flatbuffers::Offset<fb::LearningLayerInfo> SequenceSerializer::write_learning_info(const uint8_t* data_part) {
  const fb::LearningRecords* learning =
      flatbuffers::GetSizePrefixedRoot<fb::ProgramData>(data_part)->learning();
  if (learning == nullptr) return 0;
  flatbuffers::FlatBufferBuilder& builder = *info_builder_;
  const fb::TrackSpan record0_span = first_track_span(data_part, *learning->record0());
  const fb::TrackSpan record1_span = first_track_span(data_part, *learning->record1());
  flatbuffers::Offset<fb::RecordSpans> record2;
  if (const fb::FiltersTrack* filters = learning->record2()->filters()) {
    const fb::FiltersSpan span = filters_span(data_part, *filters);
    record2 = fb::CreateRecordSpans(builder, 0, &span);
  } else {
    const fb::TrackSpan span = first_track_span(data_part, *learning->record2());
    const auto tracks = builder.CreateVectorOfStructs(&span, 1);
    record2 = fb::CreateRecordSpans(builder, tracks);
  }
  return fb::CreateLearningLayerInfo(builder, &record0_span, &record1_span, record2, learning->ident());
}

}  // namespace ornix
