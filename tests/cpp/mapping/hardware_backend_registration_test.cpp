#include "mapping/hardware_backend_registration.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "devices.h"
#include "engine/error_text.h"
#include "engine/layer_fixtures.h"
#include "mapping/hardware_backend.h"
#include "scripted_attempt.h"
#include "support/fake_generation.h"
#include "support/fake_map_constraints.h"
#include "support/fake_mapping.h"

namespace ornix {
namespace {

using test::error;
using test::success;

// input -> dense1 -> dense2
std::unique_ptr<Model> two_dense_model() {
  auto model = test::model_with_input(2, 2, 1);
  test::add_layer(*model, LayerType::Dense1D, {{"units", 3}, {"weights_bits", 8}}, "dense1");
  test::add_layer(*model, LayerType::Dense1D, {{"units", 3}, {"weights_bits", 8}}, "dense2");
  return model;
}

class ModelMapThroughTheBackEnd : public ::testing::Test {
 protected:
  HardwareMapper mapper() {
    return make_hardware_mapper(
        [this] { return std::make_unique<HardwareBackend>(GenerationFactories{&fakes, &fakes}, script.attempt()); });
  }

  test::FakeGeneration fakes{"v1"};
  test::ScriptedAttempt script;
  std::shared_ptr<test::FakeMeshDevice> device = test::mesh_device(test::kD3_00_00_02);
};

TEST_F(ModelMapThroughTheBackEnd, NoConstraintsMapWithTheDeviceDefaultsAndRetry) {
  const test::ScopedMapper registered{mapper()};
  auto model = two_dense_model();
  script.steps = {{1, error("Cannot map layer 'dense2'. Next pass.")}, {1, success()}};
  model->map(device, true, nullptr);

  EXPECT_EQ(script.modes, (std::vector<bool>{false, false}));
  ASSERT_NE(script.last_constraints, nullptr);
  EXPECT_EQ(script.last_constraints->device(), device);
  EXPECT_EQ(model->sequences().size(), 2u);

  // Given constraints reach the attempt as they are.
  auto constraints = std::make_shared<test::HookedMapConstraints>(device);
  script.steps = {{2, success()}};
  script.modes.clear();
  model->map(device, false, constraints);
  EXPECT_EQ(script.last_constraints, constraints);
}

TEST_F(ModelMapThroughTheBackEnd, HardwareOnlyMappingThrowsWhatStoppedIt) {
  const test::ScopedMapper registered{mapper()};
  auto model = two_dense_model();
  script.steps = {{1, error("Cannot map layer 'dense2'. Too large.")},
                  {0, error("Cannot map layer 'dense2'. Too large.")}};
  EXPECT_EQ(error_text([&] { model->map(device, true, nullptr); }), "Cannot map layer 'dense2'. Too large.");
  EXPECT_TRUE(model->sequences().empty());
  // Attempts that report success but leave a layer.
  script.modes.clear();
  script.steps = {{1, success()}, {0, success()}};
  EXPECT_EQ(error_text([&] { model->map(device, true, nullptr); }), "Cannot map layer 'dense2'.");
  // Without hw_only the model keeps what was mapped.
  script.modes.clear();
  script.steps = {{1, error("Cannot map layer 'dense2'. Too large.")},
                  {0, error("Cannot map layer 'dense2'. Too large.")}};
  model->map(device, false, nullptr);
  EXPECT_EQ(model->sequences().size(), 1u);
}

TEST(RegisterHardwareBackend, ModelsMapThroughTheBuiltInBackEnd) {
  const test::ScopedMapper restore{nullptr};
  register_hardware_backend();
  auto model = two_dense_model();
  EXPECT_EQ(error_text([&] { model->map(test::mesh_device(test::kD3_00_00_02), true, nullptr); }),
            "Cannot map layer 'dense1'. Unsupported layer type on Ornix v1.");
  // The generation-2 sequence rules accept the two dense layers as one sequence; the attempt
  // then places the first layer, which finds no FNP on the empty mesh.
  EXPECT_EQ(error_text([&] { model->map(test::mesh_device(test::kD3_A2_01_00), true, nullptr); }),
            "Cannot map layer 'dense1'. No hardware component is available.");
}

}  // namespace
}  // namespace ornix
