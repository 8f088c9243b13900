#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend_v2/real_model.h"
#include "mapping/ip_version_specific_hardware_backend.h"
#include "mapping/mapping_attempt.h"
#include "mapping/mesh_mapper.h"

// Models the built-in back end must refuse, with a status naming the layer and the reason.

namespace ornix::test {
namespace {

std::shared_ptr<MapConstraints> smallest_limits(const std::shared_ptr<Device>& device) {
  auto constraints = std::make_shared<MapConstraints>(device);
  constraints->set_cnp_max_width(1);
  constraints->set_cnp_max_height(1);
  constraints->set_cnp_max_filters(1);
  return constraints;
}

// 64 x 64 pixels x 16 filters of one pixel and one filter each: 65536 pieces for 16 CNPs.
TEST(MappingRefusals, LayerThatCanNeverFitIsRefusedBeforeItsPiecesAreBuilt) {
  RealModel m({64, 64, 3});
  const auto conv = m.add(LayerType::Conv2D, conv_params(3, 16), "conv");
  const auto constraints = smallest_limits(m.device);
  const IpVersionSpecificHardwareBackend backend(*m.device);
  MeshMapper mapper(*backend.checker, *constraints);
  mapper.reset();
  for (const bool allow_new_pass : {true, false}) {
    bool new_pass = true;
    const auto [components, status] = mapper.map_layer(conv, {}, false, &new_pass, allow_new_pass, m.model->layers());
    EXPECT_TRUE(components.empty());
    EXPECT_EQ(status.to_string(),
              "Cannot map layer 'conv'. Not enough hardware component of type CNP1 available. 65536 are needed but 16 "
              "are available.");
    EXPECT_FALSE(new_pass);
  }
}

// 240 small layers on 8 CNPs: one CNP each, eight to a pass. As one sequence the model takes 30
// passes of at least 8 tracks (9 descriptors) each, over the 256 descriptors of a program. A
// whole-model attempt whose failure is reported places every layer before its build refuses
// the sequence; one whose failure goes unreported (prefix attempts follow) refuses it as soon
// as 29 passes are open, leaving the last layers unplaced; the model still maps into one
// sequence per pass.
TEST(MappingRefusals, WholeModelOverTheDescriptorBudgetStopsWhenItsFailureGoesUnreported) {
  constexpr int kLayers = 240;
  const auto chain = [] {
    auto m = std::make_unique<RealModel>(Shape{4, 4, 4}, cnp_columns(2, 3));
    for (int i = 0; i < kLayers; ++i) m->add(LayerType::Conv2D, conv_params(3, 4), "conv" + std::to_string(i));
    return m;
  };
  for (const bool retry : {false, true}) {
    const auto m = chain();
    const IpVersionSpecificHardwareBackend backend(*m->device);
    const auto all = m->model->layers();
    auto layers = std::vector<std::shared_ptr<Layer>>(all.begin() + 1, all.end());  // the input is the DMA's
    const auto before = layers;
    std::vector<std::shared_ptr<Sequence>> sequences;
    const MappingStatus status = map_layers_to_sequences(
        backend.constraints, std::make_shared<MapConstraints>(m->device), backend, &layers, &sequences, true, retry);
    EXPECT_EQ(status.message(), "The maximum number of descriptors is more than allowed.") << retry;
    EXPECT_EQ(layers, before);
    EXPECT_TRUE(sequences.empty());
    EXPECT_EQ(before.back()->mapping() != nullptr, !retry) << "last layer placed, retry " << retry;
  }
  const auto m = chain();
  EXPECT_EQ(m->map(), "");
  ASSERT_EQ(m->model->sequences().size(), 30u);
  for (const auto& sequence : m->model->sequences()) EXPECT_EQ(sequence->passes().size(), 1u);
}

// An override of select_nps, as a Python user may write one.
struct Selection final : MapConstraints {
  using Choose = std::function<std::vector<hw::Ident>(const std::vector<hw::Ident>& offered, size_t count)>;
  Selection(const std::shared_ptr<Device>& device, Choose choose) : MapConstraints(device), choose(std::move(choose)) {}
  std::vector<hw::Ident> select_nps(const std::vector<hw::Ident>& offered, size_t count, hw::Type) const override {
    return choose(offered, count);
  }
  Choose choose;
};

TEST(MappingRefusals, SelectionOfNpsNotOfferedOrTwiceIsRefused) {
  const std::vector<std::pair<Selection::Choose, std::string>> rows{
      {[](const auto&, size_t count) { return std::vector<hw::Ident>(count, {9, 9, 0, 0}); },
       "Cannot map layer 'conv'. The selection of CNP1 NPs returned (9, 9, 0, 0), which is not available."},
      {[](const auto& offered, size_t) { return std::vector<hw::Ident>{offered[0], offered[0]}; },
       "Cannot map layer 'conv'. The selection of CNP1 NPs returned (2, 1, 0, 0) more than once."},
  };
  for (const auto& [choose, expected] : rows) {
    RealModel m({8, 8, 8});
    m.add(LayerType::Conv2D, conv_params(3, 16), "conv");
    const auto constraints = std::make_shared<Selection>(m.device, choose);
    constraints->set_cnp_max_filters(8);  // two NPs
    EXPECT_EQ(m.map(constraints), expected);
    EXPECT_TRUE(m.model->sequences().empty());
  }
}

// input -> a, a2; concat(a, a2) ends there; b after a. The branches of a (concat and b) lie at
// one depth, so a opens an alternative whose first branch leads nowhere.
TEST(MappingRefusals, AlternativeThroughAMergeLayerWithoutOutboundNamesTheLayer) {
  RealModel m({8, 8, 8});
  const auto input = m.model->get_layer(0);
  const auto a = m.add(LayerType::Conv2D, conv_params(3, 8), "a");
  const auto a2 = m.add(LayerType::Conv2D, conv_params(3, 8), "a2", {input});
  m.add(LayerType::Concatenate, {}, "concat", {a, a2});
  m.add(LayerType::Conv2D, conv_params(3, 8), "b", {a});
  EXPECT_THAT([&] { m.model->map(m.device, true, nullptr); },
              throws_text<std::out_of_range>(
                  "Cannot map layer 'a'. Its branch through merge layer 'concat' has no layer after it."));
}

}  // namespace
}  // namespace ornix::test
