// When a hardware sequence programs its device, which run it asks for, and what it reads back.
#include "program/hardware_sequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/layer_fixtures.h"
#include "mapping/layer_mapping.h"
#include "ornix/hardware_device.h"
#include "program/thrown.h"
#include "support/fake_generation.h"
#include "support/fake_mapping.h"

namespace ornix::test {
namespace {

using program::thrown;
using ::testing::ElementsAre;
using ::testing::NiceMock;
using Bytes = std::vector<uint8_t>;

class SpyHardwareDevice : public HardwareDevice {
 public:
  MOCK_METHOD(HwVersion, version, (), (const, override));
  MOCK_METHOD(std::string, desc, (), (const, override));
  MOCK_METHOD(HardwareDriver*, driver, (), (const, override));
  MOCK_METHOD(void, read_np_info, (uint32_t*, const hw::Ident*, size_t), (const, override));
  MOCK_METHOD(void, program, (const uint8_t*, size_t), (override));
  MOCK_METHOD(void, program_external, (const uint8_t*, size_t, uint32_t), (override));
  MOCK_METHOD(void, unprogram, (), (override));
  MOCK_METHOD(ProgramView, current_program, (), (const, override));
  MOCK_METHOD(uint32_t, program_clock_count, (), (const, override));
  MOCK_METHOD(void, prepare_run, (uint32_t, bool), (override));
  MOCK_METHOD(void, set_busy, (bool), (override));
  MOCK_METHOD(bool, busy, (), (const, override));
  MOCK_METHOD(uint32_t, clock_counter, (), (const, override));
  MOCK_METHOD(bool, learn_enabled, (), (const, override));
  MOCK_METHOD(void, set_learn_enabled, (bool), (override));
  MOCK_METHOD(uint32_t, learn_mem_size, (), (const, override));
  MOCK_METHOD(void, read_learn_mem, (uint32_t*), (const, override));
  MOCK_METHOD(void, write_learn_mem, (const uint32_t*), (override));
  MOCK_METHOD(uint64_t, memory, (), (const, override));
  MOCK_METHOD(void, reset_top_memory, (), (override));
  MOCK_METHOD(Outputs, fit, (const Frames&, const std::vector<int32_t>&), (override));
  MOCK_METHOD(Outputs, forward, (const Frames&), (override));
  MOCK_METHOD(Outputs, predict, (const Frames&), (override));
};

struct HardwareHost final : Device {
  HardwareHost(HwVersion version, HardwareDevice* hardware) : held_version(version), held_hardware(hardware) {}
  HwVersion version() const override { return held_version; }
  std::string desc() const override { return "host"; }
  const Mesh* mesh() const override { return nullptr; }
  HardwareDevice* hardware() const override { return held_hardware; }
  HwVersion held_version;
  HardwareDevice* held_hardware;
};

constexpr HwVersion kV1{0xD3, 0xA1, 0, 0};
constexpr HwVersion kV2{0xD3, 0xA2, 0, 0};
const Bytes kProgram{4, 0, 0, 0, 0xA, 0xB, 0xC, 0xD, 0xE};  // info part of 4 bytes, data part of 1 byte

std::shared_ptr<Layer> layer(const std::string& name, LayerType type = LayerType::Conv2D, size_t np_count = 1) {
  const LayerParams::Values conv{{"kernel_size", 1}, {"filters", 4}};
  auto result = make_layer(type, type == LayerType::Conv2D ? conv : LayerParams::Values{}, name);
  auto mapping = LayerMapping::create();
  mapping->nps->resize(np_count);
  result->set_mapping(mapping);
  return result;
}

using Layers = std::vector<std::shared_ptr<Layer>>;

std::shared_ptr<HardwareSequence> sequence_of(std::shared_ptr<Device> device, Layers layers, Bytes program = kProgram,
                                              GenerationFactories generations = built_in_generations()) {
  auto pass = std::make_shared<Sequence::Pass>();
  pass->layers = layers;
  return std::make_shared<HardwareSequence>(std::move(device), HardwareConstraints{}, std::move(layers),
                                            std::vector<std::shared_ptr<Sequence::Pass>>{pass}, std::move(program),
                                            generations);
}

// A spy device behind a host that holds whatever program it was last given, until unprogrammed.
struct SpyFixture : ::testing::Test {
  SpyFixture() {
    ON_CALL(spy, program).WillByDefault([this](const uint8_t* data, size_t size) { held = {data, size}; });
    ON_CALL(spy, current_program).WillByDefault([this] { return held; });
    ON_CALL(spy, unprogram).WillByDefault([this] { held = {}; });
  }
  NiceMock<SpyHardwareDevice> spy;
  HardwareDevice::ProgramView held;
  std::shared_ptr<Device> host = std::make_shared<HardwareHost>(kV1, &spy);
  std::vector<std::shared_ptr<const Tensor>> inputs{Dense::create(TensorType::uint8, Shape{2, 2, 1})};
};

using HardwareSequenceProgramming = SpyFixture;

TEST_F(HardwareSequenceProgramming, ProgramsOnlyWhenTheDeviceHoldsOtherBytes) {
  const auto sequence = sequence_of(host, {layer("a")});
  EXPECT_CALL(spy, program(sequence->program().data, kProgram.size())).Times(1);
  sequence->forward_samples(inputs, nullptr);
  sequence->forward_samples(inputs, nullptr);

  const Bytes last_byte_differs{4, 0, 0, 0, 0xA, 0xB, 0xC, 0xD, 0xF};
  held = {last_byte_differs.data(), last_byte_differs.size()};
  EXPECT_CALL(spy, program(sequence->program().data, kProgram.size())).Times(1);
  sequence->forward_samples(inputs, nullptr);

  const Bytes same_bytes = kProgram;  // another copy of the same bytes
  held = {same_bytes.data(), same_bytes.size()};
  EXPECT_CALL(spy, program).Times(0);
  sequence->forward_samples(inputs, nullptr);

  held = {};
  EXPECT_CALL(spy, program(sequence->program().data, kProgram.size())).Times(1);
  sequence->forward_samples(inputs, nullptr);
}

TEST_F(HardwareSequenceProgramming, TheLastHandleUnprogramsADeviceStillHoldingItsBytes) {
  auto sequence = sequence_of(host, {layer("a")});
  auto same_bytes_elsewhere = sequence_of(host, {layer("a")});
  sequence->forward_samples(inputs, nullptr);
  EXPECT_CALL(spy, unprogram).Times(1);
  same_bytes_elsewhere.reset();
  EXPECT_NE(held.data, nullptr);
  sequence.reset();
  EXPECT_EQ(held.data, nullptr);
}

TEST_F(HardwareSequenceProgramming, NoHardwareIsRefusedBeforeAnyDeviceCall) {
  EXPECT_CALL(spy, current_program).Times(0);
  EXPECT_CALL(spy, program).Times(0);
  const auto sequence = sequence_of(host, {layer("a")});
  static_cast<HardwareHost&>(*host).held_hardware = nullptr;
  EXPECT_EQ(thrown<std::runtime_error>([&] { sequence->forward_samples(inputs, nullptr); }),
            "An actual hardware device is required.");
}

using HardwareSequenceRun = SpyFixture;

TEST_F(HardwareSequenceRun, ADequantizerLastPredictsAnyOtherLastForwardsWithLearningOff) {
  EXPECT_CALL(spy, prepare_run(1, true)).Times(2);
  EXPECT_CALL(spy, set_learn_enabled).Times(0);
  EXPECT_CALL(spy, predict).Times(1);
  sequence_of(host, {layer("a"), layer("d", LayerType::Dequantizer)})->forward_samples(inputs, nullptr);
  // The learn switch is set only when it differs.
  ON_CALL(spy, learn_enabled).WillByDefault(::testing::Return(true));
  EXPECT_CALL(spy, set_learn_enabled(false)).Times(1);
  EXPECT_CALL(spy, forward).Times(1);
  sequence_of(host, {layer("d", LayerType::Dequantizer), layer("c")})->forward_samples(inputs, nullptr);
}

TEST_F(HardwareSequenceRun, LabelsFitThenReadTheLearnedVariablesBackThroughATemporaryRecorder) {
  FakeGeneration v1("v1"), v2("v2", v1.log);
  std::vector<int32_t> labels{3};
  ON_CALL(spy, fit).WillByDefault([&](const HardwareDevice::Frames&, const std::vector<int32_t>& given) {
    v1.log->push_back("fit " + std::to_string(given.at(0)));
    return HardwareDevice::Outputs{};
  });
  EXPECT_CALL(spy, set_learn_enabled(true)).Times(2);

  sequence_of(host, {layer("a"), layer("c")}, kProgram, {&v1, &v2})->forward_samples(inputs, &labels);
  EXPECT_THAT(*v1.log,
              ElementsAre("fit 3", "v1 layer recorder made", "sync c", "v1 layer recorder destroyed"));

  v1.log->clear();
  const auto two_nps = sequence_of(host, {layer("a"), layer("c", LayerType::Conv2D, 2)}, kProgram, {&v1, &v2});
  EXPECT_EQ(thrown<std::runtime_error>([&] { two_nps->forward_samples(inputs, &labels); }),
            "Learning is not supported for layers mapped on more than 1 NP.");
  EXPECT_THAT(*v1.log, ElementsAre("fit 3"));

  v1.log->clear();  // any other product id reads back through generation 2
  sequence_of(std::make_shared<HardwareHost>(kV2, &spy), {layer("c")}, kProgram, {&v1, &v2})->sync_learning_vars();
  EXPECT_THAT(*v1.log, ElementsAre("v2 layer recorder made", "sync c", "v2 layer recorder destroyed"));
}

TEST(HardwareSequence, ProgramPartsAndRefusedArguments) {
  const auto host = std::make_shared<FakeDevice>(kV1);
  Bytes program(300, 0);
  program[1] = 1;  // L = 0x100, read little-endian
  const auto sequence = sequence_of(host, {layer("a")}, program);
  const auto parts = sequence->program_parts();
  EXPECT_EQ(parts.program_info.size, 260u);
  EXPECT_EQ(parts.program_data.data, sequence->program().data + 260);
  EXPECT_EQ(parts.program_data.size, 40u);

  EXPECT_THROW(sequence_of(host, {layer("a")}, Bytes(259, 0xFF)), std::invalid_argument);
  EXPECT_THROW(sequence_of(host, {layer("a")}, Bytes{0, 0, 0}), std::invalid_argument);
  EXPECT_THROW(sequence_of(host, {}), std::invalid_argument);
}

}  // namespace
}  // namespace ornix::test
