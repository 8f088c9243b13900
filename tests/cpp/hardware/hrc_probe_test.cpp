#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "hardware/device_discovery.h"
#include "hardware/hrc_probe.h"
#include "mesh_fixture.h"
#include "ornix/hardware_device.h"
#include "ornix/testing/driver_registry.h"
#include "support/fake_mapping.h"

namespace ornix {
namespace {

using namespace testing_mesh;
using test::OneSequenceMapper;
using test::ScopedMapper;
using Samples = std::vector<std::shared_ptr<const Tensor>>;

std::vector<std::shared_ptr<Tensor>> hang(const Samples&) { throw std::runtime_error("HRC run timed out"); }

std::vector<std::shared_ptr<Tensor>> echo(const Samples& samples) {
  std::vector<std::shared_ptr<Tensor>> outputs;
  for (const auto& sample : samples) outputs.push_back(std::const_pointer_cast<Tensor>(sample));
  return outputs;
}

TEST(HrcProbe, MapsOneInputConvolutionOnTheDeviceWithOnesAsWeightsAndInputs) {
  OneSequenceMapper mapper{echo};
  const ScopedMapper registered{mapper.mapper()};
  const auto device = std::make_shared<test::FakeDevice>(kD3_00_00_02);

  const auto model = build_hrc_probe_model(device);
  EXPECT_EQ(mapper.last_request.device, device);
  EXPECT_TRUE(mapper.last_request.hw_only);
  EXPECT_EQ(mapper.last_request.constraints, nullptr);
  const auto layer = model->get_layer("inputconv");
  EXPECT_EQ(layer->params()->layer_type(), LayerType::InputConvolutional);
  EXPECT_EQ(mapper.last_sequence->passes().front()->layers, std::vector<std::shared_ptr<Layer>>{layer});
  const auto weights = layer->variables().get("weights");
  EXPECT_EQ(weights->size(), 9u);
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(weights->data<int8_t>()[i], 1);

  const auto inputs = get_constant_inputs(*model)->ensure_dense();
  EXPECT_EQ(inputs->shape(), (Shape{1, 8, 8, 1}));
  EXPECT_EQ(inputs->type(), TensorType::uint8);
  for (size_t i = 0; i < inputs->size(); ++i) ASSERT_EQ(inputs->data<uint8_t>()[i], 1);
}

TEST(HrcProbe, AnswersWhetherTheRunFailedAndPropagatesModelBuildingFailures) {
  const auto device = std::make_shared<test::FakeDevice>(kD3_00_00_02);
  {
    const ScopedMapper none{nullptr};
    EXPECT_THROW(hrc_check_timeout(device), std::runtime_error);
  }
  {
    OneSequenceMapper hanging{hang};
    const ScopedMapper registered{hanging.mapper()};
    EXPECT_TRUE(hrc_check_timeout(device));
  }
  OneSequenceMapper working{echo};
  const ScopedMapper registered{working.mapper()};
  EXPECT_FALSE(hrc_check_timeout(device));
  EXPECT_EQ(working.last_sequence->runs, 1);
}

TEST(HrcProbeDiscovery, OpensTheDeviceAgainOnlyWhenTheProbeOfThatRevisionFails) {
  struct Case {
    HwVersion version;
    test::FakeSequence::Run run;
    size_t opens;
    bool probed;
  };
  for (const auto& [version, run, opens, probed] :
       {Case{kD3_00_00_02, hang, 2, true}, Case{kD3_00_00_02, echo, 1, true}, Case{kD3_00_00_01, hang, 1, false}}) {
    SimulatedDriver driver;
    set_2x2_mesh(driver, version);
    OneSequenceMapper mapper{run};
    const DriverAttachment attached{&driver};
    const ScopedMapper registered{mapper.mapper()};
    ::testing::internal::CaptureStdout();
    const auto devices = populate_devices();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->hardware()->driver(), &driver);
    EXPECT_EQ(driver.open_count(), opens);
    EXPECT_EQ(mapper.last_sequence != nullptr, probed);
    if (probed) {
      EXPECT_EQ(mapper.last_request.device == devices[0], opens == 1) << "a failed probe replaces the device";
    }
  }
}

}  // namespace
}  // namespace ornix
