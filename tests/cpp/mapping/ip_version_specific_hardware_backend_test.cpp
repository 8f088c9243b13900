#include "mapping/ip_version_specific_hardware_backend.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "devices.h"
#include "engine/error_text.h"
#include "support/fake_generation.h"
#include "support/fake_mapping.h"

namespace ornix {
namespace {

TEST(IpVersionSpecificHardwareBackend, ProductIdChoosesTheGenerationOfTableAndStrategies) {
  auto log = std::make_shared<test::EventLog>();
  const test::FakeGeneration v1{"v1", log};
  const test::FakeGeneration v2{"v2", log};
  struct Case {
    HwVersion version;
    const char* tag;
    uint32_t input_shift_words;
  };
  for (const Case& c : {Case{test::kD3_A1_01_00, "v1", 0}, Case{test::kD3_A2_01_00, "v2", 256}}) {
    log->clear();
    const auto device = test::mesh_device(c.version);
    const IpVersionSpecificHardwareBackend backend(*device, {&v1, &v2});
    const std::string tag = c.tag;
    EXPECT_EQ(*log, (test::EventLog{tag + " checker made", tag + " memory sizer made", tag + " I/O recorder made",
                                    tag + " layer recorder made"}));
    EXPECT_EQ(backend.constraints.input_shift_memory_size, c.input_shift_words);
    EXPECT_EQ(dynamic_cast<const test::FakeChecker&>(*backend.checker).table_given(), &backend.constraints);
  }
}

TEST(IpVersionSpecificHardwareBackend, TableFollowsTheMeshSram) {
  const test::FakeGeneration fakes{"v2"};
  const auto device = test::mesh_device(test::kD3_A2_01_00);
  device->editable_mesh().np_sram_size = SramSize{1024, 2000};
  const IpVersionSpecificHardwareBackend backend(*device, {&fakes, &fakes});
  EXPECT_EQ(backend.constraints.cnp_weight_memory_size, 160u);          // 16000 bits / 100
  EXPECT_EQ(backend.constraints.input_sram_single_buffer_size, 256u);  // 8192 bits / 32

  const test::FakeDevice no_mesh(test::kD3_00_00_02);
  EXPECT_EQ(error_text([&] { IpVersionSpecificHardwareBackend none(no_mesh, {&fakes, &fakes}); }),
            "The device has no NP mesh.");
}

TEST(IpVersionSpecificHardwareBackend, FailedConstructionReleasesWhatWasMade) {
  test::FakeGeneration fakes{"v1"};
  fakes.io_recorder_fails = true;
  const auto device = test::mesh_device(test::kD3_00_00_02);
  EXPECT_THROW(IpVersionSpecificHardwareBackend(*device, {&fakes, &fakes}), std::runtime_error);
  EXPECT_EQ(*fakes.log, (test::EventLog{"v1 checker made", "v1 memory sizer made", "v1 memory sizer destroyed",
                                        "v1 checker destroyed"}));
}

TEST(IpVersionSpecificHardwareBackend, BuiltInGenerationsRefuseLayerTypesTheyDoNotServe) {
  const auto v1_device = test::mesh_device(test::kD3_00_00_02);
  const IpVersionSpecificHardwareBackend v1(*v1_device);
  const std::vector<std::shared_ptr<Layer>> none;
  EXPECT_EQ(v1.checker->check_layer_sequence(none.begin(), none.end(), {}), LayerMappingStatus(""));
  const auto layer = test::named_layer("a");
  EXPECT_EQ(error_text([&] { v1.memory_sizer->get_weight_memory_size(layer, {}); }), "Invalid v1 layer type.");
  EXPECT_EQ(error_text([&] { v1.io_recorder->get_output_type(*layer, 0); }), "Unsupported layer type.");
  EXPECT_EQ(error_text([&] { v1.layer_recorder->record_layer(*layer, *layer, nullptr, false, false, {}, false,
                                                             false); }),
            "Unsupported layer type: 1.");

  const auto none_device = test::mesh_device(test::kD3_A3_00_01);
  const IpVersionSpecificHardwareBackend v2(*none_device);
  EXPECT_EQ(error_text([&] { v2.layer_recorder->sync_learning_vars(layer); }), "Learning not implemented on v2.");
}

TEST(CompatibilityChecker, FnpTypeCompatibilityAsksTheCheckerOnlyBeyondFnp2) {
  const auto device = test::mesh_device(test::kD3_A2_01_00);
  const HardwareConstraints own{};
  const auto layer = test::named_layer("dense");
  int asked = 0;
  test::FakeChecker::Behaviour behaviour;
  behaviour.fnp3_fits = [&](const HardwareConstraints& table, const Layer&) {
    ++asked;
    return &table != &own;  // false: asked with the checker's own table
  };
  const test::FakeChecker checker(*device, own, behaviour, std::make_shared<test::EventLog>(), "v2");

  EXPECT_TRUE(checker.is_fnp_type_compatible(*layer, hw::Type::FNP2));
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(checker.is_fnp_type_compatible(*layer, hw::Type::FNP3));
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace ornix
