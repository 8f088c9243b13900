#include "mapping/compatibility_checker.h"

#include <utility>

namespace ornix {

namespace {

// Asks the whole run's rules at every layer.
class RecheckedSequence final : public CompatibilityChecker::SequenceCheck {
 public:
  RecheckedSequence(const CompatibilityChecker& checker, HwVersion version) : checker_(checker), version_(version) {}

  LayerMappingStatus extend(std::shared_ptr<Layer> layer) override {
    layers_.push_back(std::move(layer));
    return checker_.check_layer_sequence(layers_.cbegin(), layers_.cend(), version_);
  }

 private:
  const CompatibilityChecker& checker_;
  HwVersion version_;
  std::vector<std::shared_ptr<Layer>> layers_;
};

}  // namespace

LayerMappingStatus CompatibilityChecker::SequenceCheck::extend_all(LayerIterator first, LayerIterator last) {
  LayerMappingStatus status("");
  for (auto layer = first; layer != last; ++layer) status = extend(*layer);
  return status;
}

std::unique_ptr<CompatibilityChecker::SequenceCheck> CompatibilityChecker::start_sequence_check(
    HwVersion version) const {
  return std::make_unique<RecheckedSequence>(*this, version);
}

bool CompatibilityChecker::is_fnp_type_compatible(const Layer& layer, hw::Type type) const {
  return type == hw::Type::FNP2 || check_fnp3_sram_size(*constraints, layer);
}

}  // namespace ornix
