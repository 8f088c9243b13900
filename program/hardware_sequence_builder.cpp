#include "program/hardware_sequence_builder.h"

#include <algorithm>
#include <stdexcept>

#include "hardware/mesh.h"
#include "mapping/layer_graph.h"
#include "mapping/layer_mapping.h"
#include "mapping/layer_mapping_messages.h"
#include "mapping/messages.h"
#include "ornix/program_info.h"
#include "ornix/version.h"
#include "program/limits.h"
#include "program/messages.h"
#include "program/pass_components.h"
#include "program/sequence_facts.h"
#include "program/sequence_serializer.h"

namespace ornix {

HardwareSequenceBuilder::HardwareSequenceBuilder(std::shared_ptr<Device> device, const HardwareConstraints& constraints,
                                                 const IoRecorder& io_recorder, const LayerRecorder& layer_recorder)
    : device_(std::move(device)),
      constraints_(constraints),
      io_recorder_(io_recorder),
      layer_recorder_(layer_recorder) {}

void HardwareSequenceBuilder::add_layers(Layers layers, const Layers& model_layers, ComponentLists components) {
  if (components.size() != layers.size()) throw std::invalid_argument(kMsgComponentListPerLayer);
  const Mesh* mesh = device_->mesh();
  if (mesh == nullptr) throw std::runtime_error(kMsgDeviceHasNoMesh);

  if (pending_) {
    layers.insert(layers.begin(), pending_->layer);
    components.insert(components.begin(), pending_->components);
  }
  std::optional<PendingMerge> held;
  if (!layers.empty() && is_merge_layer(*layers.back())) {
    held = PendingMerge{layers.back(), std::move(components.back())};
    layers.pop_back();
    components.pop_back();
  }
  if (layers.empty()) throw std::invalid_argument(program::kMsgEmptyPass);
  auto pass = passes_.empty() ? std::make_shared<HardwarePass>(layers, model_layers, components, mesh->dma_event)
                              : std::make_shared<HardwarePass>(layers, model_layers, components, last_pass());
  layers_.insert(layers_.end(), layers.begin(), layers.end());
  passes_.push_back(std::move(pass));
  pending_ = std::move(held);
}

std::shared_ptr<HardwarePass> HardwareSequenceBuilder::hardware_pass(std::size_t index) const {
  return std::dynamic_pointer_cast<HardwarePass>(passes_.at(index));
}

std::shared_ptr<HardwarePass> HardwareSequenceBuilder::first_pass() const { return hardware_pass(0); }

std::shared_ptr<HardwarePass> HardwareSequenceBuilder::last_pass() const {
  if (passes_.empty()) throw std::out_of_range(program::kMsgSequenceWithoutPasses);
  return hardware_pass(passes_.size() - 1);
}

HardwareSequenceBuilder::Build HardwareSequenceBuilder::build_sequence() {
  if (passes_.empty()) throw std::logic_error(program::kMsgSequenceWithoutPasses);
  match_pass_components(passes_);
  SequenceSerializer serializer(layer_recorder_, io_recorder_);
  serializer.serialize_version(device_->version());
  const SequenceFacts facts = sequence_facts(layers_, io_recorder_);
  const uint64_t output_bytes = output_frame_bytes({facts.output_shape.begin(), facts.output_shape.end()},
                                                  program_output_tensor_type(facts.output_type, facts.output_bits));
  if (output_bytes > kMaxOutputFrameBytes) {
    const LayerMappingError refused(*layers_.back(), program::output_frame_too_large(output_bytes, kMaxOutputFrameBytes));
    clear();
    return {MappingStatus(StatusCode::Error, refused.to_string_impl()), nullptr};
  }
  const std::shared_ptr<Layer> sequence_first = first_mappable_layer(passes_.front()->layers);

  // Track counts are kept wide: a pass of 255 tracks or more must not wrap into the budget. A
  // pass that already breaks the budget ends the build: the rest cannot mend it.
  uint64_t most_tracks = 0;
  for (std::size_t i = 0; i < passes_.size(); ++i) {
    const std::optional<uint64_t> tracks = serialize_pass(serializer, i, facts, sequence_first);
    if (!tracks) {
      clear();
      return {MappingError(program::kMsgTooManyDescriptors), nullptr};
    }
    most_tracks = std::max(most_tracks, *tracks);
  }
  const uint64_t descriptors_per_pass = most_tracks + 1;

  const bool several_passes = passes_.size() > 1;
  if (facts.output_type != program::kOutputTypeWithoutEpg) {
    const ColumnRange columns = sequence_column_range(passes_);
    serializer.serialize_epg_tracks(*layers_.front(), columns.low, columns.high, program::kEpgByte, facts.hrc_only,
                                    several_passes, facts.input_type == 0);
  }
  const OutputScaling scaling = output_scaling(*layers_.back());
  serializer.record_dummy_desc_hdr(several_passes);
  serializer.finalize(version(), facts.input_shape, facts.output_shape, facts.input_type, facts.output_type,
                      facts.output_bits, facts.activation, facts.input_param_1, facts.input_param_0,
                      scaling.thresholds, scaling.scales, static_cast<uint8_t>(descriptors_per_pass), &program_,
                      passes_);
  auto sequence = std::make_shared<HardwareSequence>(device_, constraints_, layers_, passes_, std::move(program_));
  clear();
  return {MappingStatus(StatusCode::Success, ""), std::move(sequence)};
}

bool HardwareSequenceBuilder::within_descriptor_budget(uint64_t passes, uint64_t tracks) {
  const uint64_t descriptors_per_pass = tracks + 1;
  return descriptors_per_pass <= program::kMaxDescriptorsPerPass &&
         passes * descriptors_per_pass <= program::kMaxProgramDescriptors;
}

std::optional<uint64_t> HardwareSequenceBuilder::serialize_pass(SequenceSerializer& serializer, std::size_t index,
                                                                const SequenceFacts& facts,
                                                                const std::shared_ptr<Layer>& sequence_first) const {
  const Layers& layers = passes_[index]->layers;
  const bool has_next = index + 1 < passes_.size();
  const std::shared_ptr<Layer> next_first = has_next ? first_mappable_layer(passes_[index + 1]->layers) : nullptr;
  uint64_t tracks = 0;
  if (index == 0) {
    const bool recorded =
        serializer.serialize_scc_program(facts.hrc_input, facts.input_type == 0, facts.hrc_only,
                                         facts.output_type == 0, facts.scc_byte_output, facts.input_shape,
                                         facts.output_shape);
    tracks += recorded ? 1 : 0;
  }
  const std::shared_ptr<Layer> pass_first = first_mappable_layer(layers);
  const std::shared_ptr<Layer> pass_last = last_mappable_layer(layers);
  for (const std::shared_ptr<Layer>& layer : layers) {
    const bool from_previous_pass = index > 0 && layer == pass_first;
    const bool to_next_pass = has_next && layer == pass_last;
    if (layer->is_learning()) {
      tracks += serializer.serialize_learning_layer_program(*layer, from_previous_pass);
    } else {
      tracks += serializer.serialize_layer_program(*layer, *sequence_first, next_first, from_previous_pass,
                                                   to_next_pass, {}, false, fnp_padding_flag(layer, layers));
    }
    if (!within_descriptor_budget(passes_.size(), tracks)) return std::nullopt;
  }
  if (next_first) {
    std::vector<hw::Ident> pass_nps;
    for (const std::shared_ptr<Layer>& layer : layers) {
      for (const hw::Component& component : *record_of(*layer).nps) pass_nps.push_back(component.ident);
    }
    tracks += serializer.serialize_unused_nps_program(next_first, sequence_first, pass_nps);
  }
  serializer.finalize_pass();
  if (!within_descriptor_budget(passes_.size(), tracks)) return std::nullopt;
  return tracks;
}

void HardwareSequenceBuilder::clear() {
  layers_.clear();
  passes_.clear();
  program_ = ProgramBytes();
}

}  // namespace ornix
