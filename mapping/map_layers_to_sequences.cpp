#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "hardware/component.h"
#include "hardware/messages.h"
#include "hardware/mesh.h"
#include "mapping/ip_version_specific_hardware_backend.h"
#include "mapping/layer_graph.h"
#include "mapping/mapping_attempt.h"
#include "mapping/memory_figures.h"
#include "mapping/mesh_mapper.h"
#include "mapping/messages.h"
#include "program/hardware_sequence_builder.h"
#include "program/messages.h"

namespace ornix {

namespace {

using Layers = std::vector<std::shared_ptr<Layer>>;
using ComponentList = std::vector<hw::Component>;
using ComponentLists = std::vector<ComponentList>;

// The working state of one attempt over the caller's `layers`.
class Attempt {
 public:
  Attempt(const HardwareConstraints& table, const MapConstraints& constraints,
          const IpVersionSpecificHardwareBackend& backend, Layers* layers, bool whole_model, bool retry)
      : backend_(backend),
        layers_(layers),
        whole_model_(whole_model),
        stop_over_budget_(whole_model && retry),
        loop_itself_(constraints.hwpr_loopitself()),
        device_(constraints.device()),
        version_(device_->version()),
        builder_(device_, table, *backend.io_recorder, *backend.layer_recorder),
        mapper_(*backend.checker, constraints) {}

  MappingStatus run(std::vector<std::shared_ptr<Sequence>>* sequences) {
    mapper_.reset();
    // The prefix grows by one layer per position; its rules are judged from what each adds.
    const auto sequence_check = backend_.checker->start_sequence_check(version_);
    for (std::size_t position = 0; position < layers_->size(); ++position) {
      const std::shared_ptr<Layer> layer = (*layers_)[position];
      const std::shared_ptr<Layer> inbound = position == 0 ? nullptr : first_inbound(layer);
      status_ = backend_.checker->check_layer_compatibility(*layer, inbound.get(), version_);
      if (!status_.success()) break;

      ComponentList components;
      if (layer->is_target_component(ComponentKind::HRC)) {
        if (!device_->mesh()->hrc) {
          return MappingStatus(StatusCode::Error, LayerMappingError(*layer, kMsgNoHrcOnDevice).to_string_impl());
        }
        components.push_back(hw::Component{hw::Type::HRC, hw::Ident{}, std::nullopt, MemoryInfo{}});
      } else if (layer->params()->layer_type() != LayerType::Dequantizer && !is_merge_layer(*layer)) {
        if (!place_on_nps(layer, position, &components)) break;
      }

      if (!whole_model_) status_ = sequence_check->extend(layer);
      if (status_.success()) {
        accept(std::move(components), position);
      } else {
        hold_back(layer, std::move(components));
      }
    }
    return finish(sequences);
  }

 private:
  static std::shared_ptr<Layer> first_inbound(const std::shared_ptr<Layer>& layer) {
    const Layers inbounds = layer->inbound_layers();
    return inbounds.empty() ? nullptr : inbounds.front();
  }

  Layers run_of(std::size_t first, std::size_t end) const {
    return Layers(layers_->begin() + static_cast<std::ptrdiff_t>(first),
                  layers_->begin() + static_cast<std::ptrdiff_t>(end));
  }

  // Places the layer on NPs and checks the placement; false (with the failure in status_) when
  // either fails. In a whole-model attempt, a layer for which the mapper freed the NPs closes
  // the pass before it, unless it is the first layer on NPs.
  bool place_on_nps(const std::shared_ptr<Layer>& layer, std::size_t position, ComponentList* components) {
    const std::vector<hw::Ident> reserved =
        layer_reserved_nps(used_fnp2_, layer, placed_, whole_model_ && on_nps_, loop_itself_);
    auto [placed, placement] =
        mapper_.map_layer(layer, reserved, whole_model_ && loop_itself_, &new_pass_, whole_model_, *layers_);
    *components = std::move(placed);
    if (!placement.success()) {
      status_ = placement;
      return false;
    }
    status_ = backend_.checker->check_layer_mappings(*layer, *components);
    if (!status_.success()) return false;
    for (const hw::Component& component : *components) {
      if (component.type == hw::Type::FNP2) used_fnp2_.push_back(component.ident);
    }
    if (on_nps_ && new_pass_) {
      builder_.add_layers(run_of(pass_start_, position), *layers_, placed_);
      placed_.clear();
      pass_start_ = position;
      ++passes_;
      pass_np_layers_ = 0;
    }
    on_nps_ = true;
    if (stop_over_budget_ && surely_over_descriptor_budget(*components)) {
      over_budget_ = MappingError(program::kMsgTooManyDescriptors);
      return false;
    }
    return true;
  }

  // Counts a layer placed on NPs into the pass and tells whether the passes so far break the
  // descriptor budget whatever the tracks of their layers turn out to be.
  bool surely_over_descriptor_budget(const ComponentList& components) {
    const bool on_an_np = std::any_of(components.begin(), components.end(), [](const hw::Component& component) {
      return component.type == hw::Type::CNP1 || component.type == hw::Type::CNP2 ||
             component.type == hw::Type::FNP2 || component.type == hw::Type::FNP3;
    });
    if (!on_an_np) return false;
    most_np_layers_ = std::max(most_np_layers_, ++pass_np_layers_);
    return !HardwareSequenceBuilder::within_descriptor_budget(passes_, most_np_layers_);
  }

  // The layer joins the pass, and with it the layers held back before it.
  void accept(ComponentList components, std::size_t position) {
    if (first_held_) {
      for (ComponentList& held : held_) placed_.push_back(std::move(held));
      held_.clear();
      first_held_.reset();
      held_statuses_ = LayersMappingStatus();
    }
    placed_.push_back(std::move(components));
    accepted_end_ = position + 1;
  }

  // The run up to the layer breaks the sequence rules: a later layer may mend it.
  void hold_back(const std::shared_ptr<Layer>& layer, ComponentList components) {
    held_.push_back(std::move(components));
    held_statuses_.add_status(status_);
    if (!first_held_) first_held_ = layer;
  }

  MappingStatus finish(std::vector<std::shared_ptr<Sequence>>* sequences) {
    if (over_budget_) return *over_budget_;
    if (first_held_) {
      held_statuses_.add_status(status_);
      status_ = LayerMappingStatus(*first_held_, StatusCode::Error, held_statuses_.to_string());
    }
    if (!placed_.empty() && (!whole_model_ || status_.success())) {
      builder_.add_layers(run_of(pass_start_, accepted_end_), *layers_, placed_);
      auto [built, sequence] = builder_.build_sequence();
      if (!built.success()) return MappingStatus(built.code(), built.message());
      layers_->erase(layers_->begin(), layers_->begin() + static_cast<std::ptrdiff_t>(accepted_end_));
      fill_memory_figures(*sequence, *backend_.memory_sizer);
      sequences->push_back(std::move(sequence));
    }
    if (status_.success()) return MappingStatus(StatusCode::Success, kMsgSuccess);
    return MappingStatus(status_.code(), status_.to_string_impl());
  }

  const IpVersionSpecificHardwareBackend& backend_;
  Layers* layers_;
  const bool whole_model_;
  const bool stop_over_budget_;  // a whole-model attempt whose failure goes unreported
  const bool loop_itself_;
  const std::shared_ptr<Device> device_;
  const HwVersion version_;
  HardwareSequenceBuilder builder_;
  MeshMapper mapper_;

  LayerMappingStatus status_{""};
  LayersMappingStatus held_statuses_;
  ComponentLists placed_;  // one list per accepted layer of the current pass
  ComponentLists held_;    // one list per held-back layer
  std::shared_ptr<Layer> first_held_;
  std::vector<hw::Ident> used_fnp2_;
  std::size_t pass_start_ = 0;    // position of the current pass's first layer
  std::size_t accepted_end_ = 0;  // position after the last accepted layer
  bool on_nps_ = false;           // a layer of the attempt was placed on NPs
  bool new_pass_ = false;         // set by the mapper when it freed the NPs for a layer
  uint64_t passes_ = 1;           // passes opened so far
  uint64_t pass_np_layers_ = 0;   // layers on an NP in the current pass
  uint64_t most_np_layers_ = 0;   // the most of them in one pass so far
  std::optional<MappingStatus> over_budget_;  // the build's refusal, foreseen
};

}  // namespace

MappingStatus map_layers_to_sequences(const HardwareConstraints& table,
                                      const std::shared_ptr<MapConstraints>& constraints,
                                      const IpVersionSpecificHardwareBackend& backend,
                                      std::vector<std::shared_ptr<Layer>>* layers,
                                      std::vector<std::shared_ptr<Sequence>>* sequences, bool whole_model,
                                      bool retry) {
  if (layers->empty()) return MappingStatus(StatusCode::Success, kMsgSuccess);
  return Attempt(table, *constraints, backend, layers, whole_model, retry).run(sequences);
}

std::vector<hw::Ident> layer_reserved_nps(const std::vector<hw::Ident>& used_fnp2, const std::shared_ptr<Layer>& layer,
                                          const std::vector<std::vector<hw::Component>>& placed,
                                          bool reserve_previous, bool loop_itself) {
  std::vector<hw::Ident> reserved;
  if (layer->is_target_component(ComponentKind::FNP)) reserved = used_fnp2;
  if (!reserve_previous || loop_itself) return reserved;
  for (auto list = placed.rbegin(); list != placed.rend(); ++list) {
    if (list->empty()) continue;
    for (const hw::Component& component : *list) {
      if (component.type != hw::Type::SKIP_DMA_STORE && component.type != hw::Type::SKIP_DMA_LOAD) {
        reserved.push_back(component.ident);
      }
    }
    break;
  }
  return reserved;
}

}  // namespace ornix
