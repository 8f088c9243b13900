// The end of serialization: the data buffer is finished first, then the info buffer is written
// with spans read back from the finished data bytes.
#include <stdexcept>
#include <utility>

#include "program/config_header_fb.h"
#include "program/limits.h"
#include "program/messages.h"
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

}  // namespace

void SequenceSerializer::finalize(const std::string& version, const Shape& input_shape, const Shape& output_shape,
                                  int8_t input_type, int8_t output_type, uint8_t output_bits, bool last_layer_flag,
                                  uint32_t input_param_1, uint32_t input_param_0,
                                  const std::vector<int32_t>& thresholds, const std::vector<float>& scales,
                                  uint8_t descriptors_per_pass, std::vector<uint8_t>* program,
                                  const std::vector<std::shared_ptr<Sequence::Pass>>& passes) {
  if (!device_version_) throw std::logic_error(program::kMsgDeviceVersionMissing);
  if (passes.size() != passes_.size()) {
    throw std::invalid_argument(program::pass_count_mismatch(passes.size(), passes_.size()));
  }

  const auto pass_vector = data_builder_->CreateVector(passes_);
  data_builder_->FinishSizePrefixed(fb::CreateProgramData(*data_builder_, pass_vector, learning_, &dummy_header_));
  const flatbuffers::DetachedBuffer data = data_builder_->Release();

  const auto pass_spans = write_pass_spans(data.data(), passes);
  const auto learning_info = write_learning_info(data.data());
  const auto* data_root = flatbuffers::GetSizePrefixedRoot<fb::ProgramData>(data.data());
  const fb::TrackSpan dummy_header_span(
      static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(data_root->dummy_header()) - data.data()),
      program::kDummyHeaderWords);
  const std::vector<uint32_t> input_dims = dims_of(input_shape);
  const std::vector<uint32_t> output_dims = dims_of(output_shape);
  const auto info_root = fb::CreateProgramInfoDirect(
      *info_builder_, version.c_str(), *device_version_, &input_dims, &output_dims, static_cast<fb::IoType>(input_type),
      static_cast<fb::IoType>(output_type), output_bits, last_layer_flag, input_param_1, input_param_0, &thresholds,
      &scales, descriptors_per_pass, epg_registers_.empty() ? nullptr : &epg_registers_, &pass_spans, learning_info,
      &dummy_header_span);
  info_builder_->FinishSizePrefixed(info_root);

  std::vector<uint8_t> blob(info_builder_->GetBufferPointer(),
                            info_builder_->GetBufferPointer() + info_builder_->GetSize());
  blob.insert(blob.end(), data.data(), data.data() + data.size());
  *program = std::move(blob);
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
