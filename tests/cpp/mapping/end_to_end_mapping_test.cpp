#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/layer_fixtures.h"
#include "hardware/host_device.h"
#include "mapping/devices.h"
#include "mapping/hardware_backend.h"
#include "mapping/hardware_backend_registration.h"
#include "mapping/layer_mapping.h"
#include "ornix/hardware_device.h"
#include "ornix/program_info.h"
#include "program/hardware_sequence.h"
#include "program/serializer_fixture.h"
#include "support/fake_generation.h"
#include "support/simulated_driver.h"

namespace ornix::test {
namespace {

using Words = std::vector<uint32_t>;
using Tracks = std::vector<Words>;

// What the fake recorders record: one track list per layer (no block headers), and the SCC.
const std::map<std::string, Tracks> kLayerTracks{
    {"conv_in", {{0x100, 0x101}}},
    {"conv1", {{0x200}, {0x201, 0x202}}},
    {"conv2", {{0x300}}},
    {"dense", {{0x400, 0x401, 0x402}}},
};
const Tracks kSccTracks{{0x5CC}};

// A generation-2 device behind a simulated driver, with an HRC, three CNPs and an FNP3.
std::shared_ptr<HostDevice> simulated_device(SimulatedDriver& driver) {
  driver.set_version(kD3_A2_01_00);
  std::vector<np::Info> nps;
  for (uint8_t col = 1; col <= 3; ++col) nps.push_back({{col, 1, 0, 0}, {hw::Type::CNP1}, false});
  nps.push_back({{4, 1, 0, 0}, {hw::Type::FNP3}, false});
  return std::make_shared<HostDevice>(
      HardwareDevice::create(&driver),
      std::make_unique<Mesh>(IpVersion::v2, hw::Ident{0, 0, 7, 0}, hw::Ident{},
                             np::Info{{}, {hw::Type::HRC}, false}, nps, std::vector<np::Info>{}));
}

// input 8x8x3 -> InputConv2D 6x6x8 -> Conv2D 4x4x8 -> Conv2D 4x4x16 -> Dense1D 1x1x10
std::unique_ptr<Model> small_model() {
  auto model = model_with_input(8, 8, 3);
  add_layer(*model, LayerType::InputConv2D, {{"kernel_size", 3}, {"filters", 8}, {"activation", 1}}, "conv_in");
  add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 8}, {"activation", 1}}, "conv1");
  add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 16}, {"activation", 1}}, "conv2");
  add_layer(*model, LayerType::Dense1D, {{"units", 10}, {"weights_bits", 8}}, "dense");
  return model;
}

TEST(EndToEndMapping, ModelMapsThroughTheBackEndAndRunsOnASimulatedDevice) {
  FakeGeneration generation("v2");
  generation.memory_bytes = 16;
  generation.checker.split_params = [](hw::Type, const LayerParams& params) {
    return NpSplitParams{0, 0, 0, 0, 0, 0, 0, static_cast<uint32_t>(params.get("filters"))};
  };
  generation.scc_program = [] { return record_of(kSccTracks); };
  generation.layer_program = [](const RecordLayerCall& call) { return record_of(kLayerTracks.at(call.layer->name())); };
  const ScopedMapper mapper(make_hardware_mapper([&] {
    return std::make_unique<HardwareBackend>(GenerationFactories{&generation, &generation}, map_layers_to_sequences);
  }));

  SimulatedDriver driver;
  const auto device = simulated_device(driver);
  auto model = small_model();
  model->map(device, true, nullptr);

  ASSERT_EQ(model->sequences().size(), 1u);
  const auto sequence = std::dynamic_pointer_cast<HardwareSequence>(model->sequences()[0]);
  ASSERT_NE(sequence, nullptr);
  EXPECT_EQ(sequence->name(), "HW/conv_in-dense");
  ASSERT_EQ(sequence->passes().size(), 1u);

  // The program: info part, then data part, each behind its size prefix.
  const Sequence::Bytes program = sequence->program();
  const Blob blob(std::vector<uint8_t>(program.data, program.data + program.size));
  const Sequence::ProgramParts parts = sequence->program_parts();
  EXPECT_TRUE(parts.program_data.data == program.data + blob.info_size + 4 &&
              parts.program_data.size == blob.data_size + 4);

  // The engine reads it: one pass, 1 + (1 + 1 + 2 + 1 + 1) descriptors, the model's shapes.
  const ProgramInfo info(program.data, program.size);
  EXPECT_EQ(info.pass_count(), 1u);
  EXPECT_EQ(info.descriptors_per_pass(), 7);
  EXPECT_EQ(info.input_shape(), (std::vector<uint32_t>{8, 8, 3}));
  EXPECT_EQ(info.output_shape(), (std::vector<uint32_t>{1, 1, 10}));
  EXPECT_EQ(blob.info->input_param_1(), 6u);  // the HRC convolution's output height and width
  EXPECT_EQ(blob.info->input_param_0(), 6u);

  // Every track span locates the words recorded for it: the SCC, then the layers in order.
  const std::vector<Tracks> recorded{kSccTracks, kLayerTracks.at("conv_in"), kLayerTracks.at("conv1"),
                                     kLayerTracks.at("conv2"), kLayerTracks.at("dense")};
  const auto* records = blob.info->pass_spans()->Get(0)->records();
  ASSERT_EQ(records->size(), recorded.size());
  for (size_t r = 0; r < recorded.size(); ++r) {
    const auto* spans = records->Get(static_cast<flatbuffers::uoffset_t>(r))->tracks();
    ASSERT_EQ(spans->size(), recorded[r].size()) << "record " << r;
    for (size_t t = 0; t < recorded[r].size(); ++t) {
      EXPECT_EQ(blob.words_at(spans->Get(static_cast<flatbuffers::uoffset_t>(t))), recorded[r][t]) << r << "/" << t;
    }
  }

  // Every component carries the sizer's figures; the layers sit on the HRC, two CNPs, the FNP3.
  std::vector<hw::Type> types;
  for (const auto& layer : sequence->passes()[0]->layers) {
    for (const hw::Component& component : *layer_mapping_of(*layer)->nps) {
      types.push_back(component.type);
      EXPECT_EQ(component.mem_info, (MemoryInfo{16, 32, 48})) << layer->name();
    }
  }
  EXPECT_EQ(types, (std::vector<hw::Type>{hw::Type::HRC, hw::Type::CNP1, hw::Type::CNP1, hw::Type::FNP3}));

  // Inference programs the device once, then only dispatches; outputs follow the program.
  driver.clear_log();
  const auto inputs = Dense::create(TensorType::uint8, Shape{2, 8, 8, 3});
  for (int run = 0; run < 2; ++run) {
    const auto outputs = model->forward(inputs, 0);
    EXPECT_EQ(outputs->shape(), (Shape{2, 1, 1, 10}));
    EXPECT_EQ(outputs->type(), TensorType::int32);
  }
  EXPECT_EQ(driver.program_count(), 1u);
  EXPECT_EQ(device->hardware()->current_program().data, program.data);
}

}  // namespace
}  // namespace ornix::test
