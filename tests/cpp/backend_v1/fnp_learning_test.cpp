#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "backend/v1/fnp_learning_recording.h"
#include "backend/v1/fnp_learning_registers.h"
#include "backend/v1/layer_recorder.h"
#include "backend_v1/v1_fixtures.h"
#include "backend_v2/dma_blocks.h"
#include "ornix/layers/dense.h"
#include "support/fake_mesh_device.h"
#include "support/simulated_driver.h"

namespace ornix::v1 {
namespace {

using ornix::test::throws_text;
using test::Components;
using test::np;
using Words = std::vector<uint32_t>;

std::shared_ptr<Dense> int32s(const std::vector<int32_t>& values) {
  return Dense::copy(values.data(), values.size() * 4, TensorType::int32, Shape{uint32_t(values.size())});
}

// input 2 x 3 x 4 -> FullyConnected of 10 units with 1-bit weights (blocks of 5 words), learning
// with 9 weights and 2 classes, alone on an FNP at column 3 fed by a CNP, output to a DMA.
struct LearningFixture {
  explicit LearningFixture(hw::Type type, int weights_bits = 1)
      : dense(LayerType::FullyConnected, {{"units", 10}, {"weights_bits", weights_bits}}, Shape{2, 3, 4}, 4,
              {fnp(type)}) {
    LayerMapping& m = *dense.mapping;
    m.layer_id = 2;
    m.output_id = 5;
    m.inputs = {std::make_shared<Components>(Components{np(hw::Type::CNP1, 2)})};
    m.outputs = {std::make_shared<Components>(Components{np(hw::Type::DMA, 1)})};
    std::dynamic_pointer_cast<FullyConnected>(dense.layer)->start_learning(params);
    threshold_learning[1] = 4 * 65536 + 5;
    thswap[1] = 0xBEEF;
    set_learning_vars();
  }
  static hw::Component fnp(hw::Type type) {
    hw::Component c = np(type, 3);
    c.allocation = NpAllocation{0, 3, {}, {}, true};
    return c;
  }
  void set_learning_vars() {
    dense.layer->variables().set("threshold_learning", int32s(threshold_learning));
    dense.layer->variables().set("thswap", int32s(thswap));
  }
  program::LearnRecordsPtr record() { return record_program_learning_dense_layer(device, *dense.layer, false); }

  std::shared_ptr<LearningParams> params = LearningParams::create(
      LearningType::Unsupervised, {{"num_weights", 9}, {"num_classes", 2}, {"initial_plasticity", 0.5},
                                   {"learning_competition", 0.5}, {"min_plasticity", 0.25}, {"plasticity_decay", 0.5}});
  std::vector<int32_t> threshold_learning = std::vector<int32_t>(10, 0);
  std::vector<int32_t> thswap = std::vector<int32_t>(10, 0);
  test::MappedLayer dense;
  ornix::test::FakeMeshDevice device{HwVersion{0xD3, 0xA1, 1, 0},
                                     Mesh(IpVersion::v1, {}, {0, 1, 2, 0}, std::nullopt, {}, {})};
};

// Neuron n's block: threshold 0x80000 (no activation), class in word 1, 9 weights and the
// learning variables in words 2 and 3, no weight bit set.
Words expected_image() {
  Words image(50, 0);
  for (uint32_t n = 0; n < 10; ++n) {
    image[n * 5] = 0x80000;
    image[n * 5 + 1] = (n < 5 ? 1u : 2u) << 20;
    image[n * 5 + 2] = 9;
  }
  image[5 + 2] = 0x40009;      // threshold_learning bits 16-19 replace num_weights bits 16-19
  image[5 + 3] = 0x0005BEEF;  // threshold_learning low bits, thswap
  return image;
}

TEST(FnpLearning, RecordsLearningAndInferenceRegistersAndThePatchedImage) {
  LearningFixture fixture(hw::Type::FNP3);
  const auto records = fixture.record();
  const auto learning = v2::test::dma_blocks(*records.record0);
  const auto inference = v2::test::dma_blocks(*records.record1);
  const auto memory = v2::test::dma_blocks(*records.record2);
  ASSERT_EQ(v2::test::targets(learning), std::vector<uint32_t>{7});
  ASSERT_EQ(v2::test::targets(inference), std::vector<uint32_t>{7});
  EXPECT_EQ(learning[0].words[36], 0x10000005u);
  EXPECT_EQ(inference[0].words[36], 0u);
  ASSERT_EQ(v2::test::targets(memory), std::vector<uint32_t>{6});
  EXPECT_EQ(memory[0].words, expected_image());

  LearningFixture fnp2(hw::Type::FNP2);
  const auto external = fnp2.record();
  ASSERT_TRUE(external.record2->fnp2_filters);
  EXPECT_EQ(external.record2->fnp2_filters->words, expected_image());
}

TEST(FnpLearning, CnpLearningWords) {
  Words regs(50, 0xFFFFFFFF);
  format_learning_cnp_regs(&regs, 0x1234, 0xABC);
  EXPECT_EQ(regs[39], 0xFFFF1234u);
  EXPECT_EQ(regs[41], 0xFFFFFABCu);
  EXPECT_THAT([&] { format_learning_cnp_regs(&regs, 0, 4096); },
              throws_text<std::runtime_error>(
                  "Attempted to write value 4096 into a 12-bit field, which will cause an overflow."));
}

TEST(FnpLearning, RefusesWhatTheImageCannotHold) {
  const struct {
    int weights_bits;
    int32_t threshold_learning;
    int32_t thswap;
    const char* message;
  } cases[] = {
      {2, 0, 0, "Backend hardware(FullyConnected): A learning layer must have 1-bit weights."},
      {1, -1, 0, "Backend hardware(FullyConnected): Negative value for threshold_learning not supported."},
      {1, 0x80000, 0, "524288 cannot fit in a 20 bits signed integer."},
      {1, 0, 65536, "Attempted to write value 65536 into a 16-bit field, which will cause an overflow."},
  };
  for (const auto& c : cases) {
    LearningFixture fixture(hw::Type::FNP3, c.weights_bits);
    fixture.threshold_learning[9] = c.threshold_learning;
    fixture.thswap[9] = c.thswap;
    fixture.set_learning_vars();
    EXPECT_THAT([&] { fixture.record(); }, throws_text<std::runtime_error>(c.message)) << c.message;
  }
}

TEST(LayerRecorder, RefusesGeneration2TypesAndRecordsLearningLayers) {
  LearningFixture fixture(hw::Type::FNP3);
  const LayerRecorderImpl recorder(&fixture.device, nullptr);
  test::MappedLayer dense1d(LayerType::Dense1D, {{"units", 2}}, Shape{1, 1, 4}, 8, {np(hw::Type::FNP3, 3)});
  const Layer& layer = *dense1d.layer;
  EXPECT_THAT([&] { recorder.record_layer(layer, layer, nullptr, false, false, {}, false, false); },
              throws_text<std::runtime_error>("Unsupported layer type: 25."));
  const auto registers = recorder.record_layer(*fixture.dense.layer, layer, nullptr, false, false, {}, true, false);
  EXPECT_EQ(v2::test::targets(v2::test::dma_blocks(*registers)), std::vector<uint32_t>{7});
  EXPECT_EQ(v2::test::dma_blocks(*recorder.record_learning_layer(*fixture.dense.layer, false).record2)[0].words,
            expected_image());
}

TEST(FnpLearning, ReadsTheLearnedMemoryBackSkippingTheFnp3Lead) {
  for (bool fnp3 : {false, true}) {
    LearningFixture fixture(fnp3 ? hw::Type::FNP3 : hw::Type::FNP2);
    Words memory = expected_image();
    memory[9 * 5 + 4] = 0x00800001;  // neuron 9 connected to inputs 0 and 23
    memory[9 * 5 + 3] = 0x00070002;
    if (fnp3) memory.insert(memory.begin(), {0xFFFFFFFF, 0xFFFFFFFF});
    SimulatedDriver driver;
    driver.set_version(HwVersion{0xD3, 0xA1, 1, 0});
    driver.set_learn_mem(memory);
    const auto hardware = HardwareDevice::create(&driver);
    fixture.device.set_hardware(hardware.get());
    const LayerRecorderImpl recorder(&fixture.device, nullptr);
    recorder.sync_learning_vars(fixture.dense.layer);
    const Variables* variables = &fixture.dense.layer->variables();
    const auto weights = variables->get("weights");
    EXPECT_EQ(weights->at<int8_t>({9, 0}) + weights->at<int8_t>({9, 23}), 2);
    int connections = 0;
    for (uint32_t k = 0; k < weights->size(); ++k) connections += weights->data<int8_t>()[k];
    EXPECT_EQ(connections, 2);
    EXPECT_EQ(variables->get("threshold_learning")->at<int32_t>({1}), 4 * 65536 + 5);
    EXPECT_EQ(variables->get("threshold_learning")->at<int32_t>({9}), 7);
    EXPECT_EQ(variables->get("thswap")->at<int32_t>({1}), 0xBEEF);
    EXPECT_EQ(variables->get("thswap")->at<int32_t>({9}), 2);

    memory.pop_back();
    driver.set_learn_mem(memory);
    EXPECT_THAT([&] { recorder.sync_learning_vars(fixture.dense.layer); },
                throws_text<std::runtime_error>(fnp3 ? "Backend hardware(FullyConnected): The device's learn memory "
                                                       "holds 51 words; the learning layer needs 52."
                                                     : "Backend hardware(FullyConnected): The device's learn memory "
                                                       "holds 49 words; the learning layer needs 50."));
  }
}

}  // namespace
}  // namespace ornix::v1
