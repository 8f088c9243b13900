#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "hardware/component.h"
#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "mapping/io_recorder.h"
#include "mapping/layer_recorder.h"
#include "ornix/device.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"
#include "program/hardware_pass.h"
#include "program/hardware_sequence.h"
#include "program/program_bytes.h"

namespace ornix {

class SequenceSerializer;
struct SequenceFacts;

// Gathers the passes of one mapping attempt and turns them into one HardwareSequence holding
// the serialized device program.
//
// Call order: add_layers once per pass, then build_sequence once; build_sequence empties the
// builder (also when it refuses the sequence). A merge layer that ends a pass is held back
// (`pending`) and opens the next pass added; `pending` survives clear(), so a merge layer that
// ends the last pass is in no pass of the sequence built.
//
// The device handle is shared; the table and the recorders are borrowed and must outlive the
// builder. The sequence keeps its own copy of the table.
class HardwareSequenceBuilder {
 public:
  using Layers = HardwarePass::Layers;
  using ComponentLists = HardwarePass::ComponentLists;

  // A merge layer held back from the end of the pass last added, with its components.
  struct PendingMerge {
    std::shared_ptr<Layer> layer;
    std::vector<hw::Component> components;
  };
  // The outcome of build_sequence and, on success, the sequence (null otherwise).
  using Build = std::pair<MappingStatus, std::shared_ptr<HardwareSequence>>;

  HardwareSequenceBuilder(std::shared_ptr<Device> device, const HardwareConstraints& constraints,
                          const IoRecorder& io_recorder, const LayerRecorder& layer_recorder);
  HardwareSequenceBuilder(const HardwareSequenceBuilder&) = delete;
  HardwareSequenceBuilder& operator=(const HardwareSequenceBuilder&) = delete;

  // Adds one pass: `layers` with one component list each (`components`); `model_layers` are all
  // the layers being mapped. The pending merge layer, if any, opens the pass; a merge layer that
  // ends it becomes pending. The first pass uses the mesh's dma_event as its DMA endpoint; a
  // later one continues from the pass before it (see HardwarePass). std::invalid_argument when
  // `components` is not parallel to `layers` or no layer would be left in the pass,
  // std::runtime_error when the device has no mesh; nothing changes then. Errors of the
  // layer-mapping builder pass out, leaving the passes as they were.
  void add_layers(Layers layers, const Layers& model_layers, ComponentLists components);

  // Pass `index` as a HardwarePass (null when it is not one); std::out_of_range past the last.
  std::shared_ptr<HardwarePass> hardware_pass(std::size_t index) const;
  std::shared_ptr<HardwarePass> first_pass() const;
  std::shared_ptr<HardwarePass> last_pass() const;

  // Serializes every pass through the generation's recorders into one device program and makes
  // the sequence of all layers added. The program may hold at most 256 descriptors: with m the
  // largest track count of a pass, passes x (m + 1) <= 256 (and m + 1 <= 255). Beyond that the
  // builder is cleared and the result is the MappingError "The maximum number of descriptors is
  // more than allowed." with no sequence; nothing is thrown. So it is, before any pass is
  // serialized, when one output frame of the sequence would take more device memory than a
  // device holds for one (kMaxOutputFrameBytes), which no device could run: the status then is
  // the rendered error of the last layer, naming that size. Errors of the recorders, the
  // serializer and the layers (and panics, see SequenceFacts and OutputScaling) pass out, and
  // the builder keeps its passes. std::logic_error when no pass was added.
  Build build_sequence();

  // Drops the layers, passes and program bytes; keeps `pending`.
  void clear();

  // Whether a sequence of `passes` passes, the largest holding `tracks` tracks, keeps within
  // the program's descriptors (the rule build_sequence applies).
  static bool within_descriptor_budget(uint64_t passes, uint64_t tracks);

  const Layers& layers() const { return layers_; }  // every layer of the passes, in order
  const std::vector<std::shared_ptr<Sequence::Pass>>& passes() const { return passes_; }
  const std::optional<PendingMerge>& pending() const { return pending_; }

 private:
  // Serializes pass `index`; returns its track count, or nothing as soon as the pass holds more
  // tracks than the descriptor budget of the sequence allows.
  std::optional<uint64_t> serialize_pass(SequenceSerializer& serializer, std::size_t index, const SequenceFacts& facts,
                                         const std::shared_ptr<Layer>& sequence_first) const;

  std::shared_ptr<Device> device_;
  const HardwareConstraints& constraints_;
  const IoRecorder& io_recorder_;
  const LayerRecorder& layer_recorder_;
  Layers layers_;
  std::vector<std::shared_ptr<Sequence::Pass>> passes_;
  ProgramBytes program_;
  std::optional<PendingMerge> pending_;
};

}  // namespace ornix
