#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
using test::np;
using v2::test::dma_blocks;
using Words = std::vector<uint32_t>;

// input 2 x 3 x 4 -> FullyConnected of 10 units, 1-bit weights (blocks of 5 words), learning with
// 9 weights and 2 classes, alone on an FNP at column 3 fed by a CNP, output to a DMA. Without
// `learning_variables` the layer refers to the parameters but holds none of their variables.
struct LearningFixture {
  explicit LearningFixture(hw::Type type, int weights_bits = 1, bool learning_variables = true)
      : dense(LayerType::FullyConnected, {{"units", 10}, {"weights_bits", weights_bits}}, Shape{2, 3, 4}, 4,
              {np(type, 3)}) {
    dense.mapping->nps->front().allocation = NpAllocation{0, 10, {}, {}, true};
    dense.mapping->inputs = {std::make_shared<test::Components>(test::Components{np(hw::Type::CNP1, 2)})};
    dense.mapping->outputs = {std::make_shared<test::Components>(test::Components{np(hw::Type::DMA, 1)})};
    const auto fully_connected = std::dynamic_pointer_cast<FullyConnected>(dense.layer);
    if (!learning_variables) {
      fully_connected->set_learning(params);
      return;
    }
    fully_connected->start_learning(params);
    set_learning_vars(1, 4 * 65536 + 5, 0xBEEF);
  }
  void set_learning_vars(uint32_t n, int32_t threshold_learning, int32_t thswap) {
    thresholds[n] = threshold_learning;
    swaps[n] = thswap;
    dense.layer->variables().set("threshold_learning", Dense::copy(thresholds.data(), 40, TensorType::int32, {10}));
    dense.layer->variables().set("thswap", Dense::copy(swaps.data(), 40, TensorType::int32, {10}));
  }
  program::LearnRecordsPtr record() { return record_program_learning_dense_layer(device, *dense.layer, false); }

  std::shared_ptr<LearningParams> params = LearningParams::create(
      LearningType::Unsupervised, {{"num_weights", 9}, {"num_classes", 2}, {"initial_plasticity", 0.5},
                                   {"learning_competition", 0.5}, {"min_plasticity", 0.25}, {"plasticity_decay", 0.5}});
  std::vector<int32_t> thresholds = std::vector<int32_t>(10, 0), swaps = std::vector<int32_t>(10, 0);
  test::MappedLayer dense;
  ornix::test::FakeMeshDevice device{HwVersion{0xD3, 0xA1, 1, 0},
                                     Mesh(IpVersion::v1, {}, {0, 1, 2, 0}, std::nullopt, {}, {})};
};

// Blocks: threshold 0x80000 (no activation), class, 9 weights, no connection; neuron 1's
// threshold_learning bits 16-19 replace those of num_weights.
Words expected_image() {
  Words image(50, 0);
  for (uint32_t n = 0; n < 10; ++n) {
    image[n * 5] = 0x80000;
    image[n * 5 + 1] = (n < 5 ? 1u : 2u) << 20;
    image[n * 5 + 2] = 9;
  }
  image[5 + 2] = 0x40009;
  image[5 + 3] = 0x0005BEEF;
  return image;
}

TEST(FnpLearning, RecordsLearningAndInferenceRegistersAndThePatchedImage) {
  LearningFixture fixture(hw::Type::FNP3);
  const auto records = LayerRecorderImpl(&fixture.device, nullptr).record_learning_layer(*fixture.dense.layer, false);
  EXPECT_EQ(dma_blocks(*records.record0).at(0).words[36], 0x10000005u);
  EXPECT_EQ(dma_blocks(*records.record1).at(0).words[36], 0u);
  const auto memory = dma_blocks(*records.record2);
  ASSERT_EQ(v2::test::targets(memory), std::vector<uint32_t>{6});
  EXPECT_EQ(memory[0].words, expected_image());
  EXPECT_EQ(LearningFixture(hw::Type::FNP2).record().record2->fnp2_filters->words, expected_image());

  Words regs(50, 0xFFFFFFFF);
  format_learning_cnp_regs(&regs, 0x1234, 0xABC);
  EXPECT_EQ(Words(regs.begin() + 39, regs.begin() + 42), (Words{0xFFFF1234u, 0xFFFFFFFF, 0xFFFFFABCu}));
}

TEST(FnpLearning, RefusesWhatTheImageCannotHold) {
  const struct {
    int weights_bits;
    int32_t threshold_learning, thswap;
    const char* message;
  } cases[] = {
      {2, 0, 0, "Backend hardware(FullyConnected): A learning layer must have 1-bit weights."},
      {1, -1, 0, "Backend hardware(FullyConnected): Negative value for threshold_learning not supported."},
      {1, 0x80000, 0, "524288 cannot fit in a 20 bits signed integer."},
      {1, 0, 65536, "Attempted to write value 65536 into a 16-bit field, which will cause an overflow."},
  };
  for (const auto& c : cases) {
    LearningFixture fixture(hw::Type::FNP3, c.weights_bits);
    fixture.set_learning_vars(9, c.threshold_learning, c.thswap);
    EXPECT_THAT([&] { fixture.record(); }, throws_text<std::runtime_error>(c.message)) << c.message;
  }
  // Parameters given without their variables (never through compile): the layer and the first
  // variable missing are named.
  for (const hw::Type type : {hw::Type::FNP3, hw::Type::FNP2}) {
    LearningFixture without(type, 1, false);
    EXPECT_THAT([&] { without.record(); },
                throws_text<std::runtime_error>(
                    "Backend hardware(FullyConnected): The learning layer 'layer' has no variable threshold_learning."));
  }
  LearningFixture fixture(hw::Type::FNP3);
  test::MappedLayer dense1d(LayerType::Dense1D, {{"units", 2}}, Shape{1, 1, 4}, 8, {np(hw::Type::FNP3, 3)});
  const LayerRecorderImpl recorder(&fixture.device, nullptr);
  EXPECT_THAT([&] { recorder.record_layer(*dense1d.layer, *dense1d.layer, nullptr, false, false, {}, false, false); },
              throws_text<std::runtime_error>("Unsupported layer type: 25."));
}

TEST(FnpLearning, SyncReadsTheLearnedMemoryBackSkippingTheFnp3Lead) {
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
    LayerRecorderImpl(&fixture.device, nullptr).sync_learning_vars(fixture.dense.layer);
    const Variables& variables = fixture.dense.layer->variables();
    const auto weights = variables.get("weights");
    int connections = 0;
    for (uint32_t k = 0; k < weights->size(); ++k) connections += weights->data<int8_t>()[k];
    EXPECT_EQ(connections, 2);
    EXPECT_EQ(weights->at<int8_t>({9, 0}) + weights->at<int8_t>({9, 23}), 2);
    EXPECT_EQ(variables.get("threshold_learning")->at<int32_t>({1}), 4 * 65536 + 5);
    EXPECT_EQ(variables.get("threshold_learning")->at<int32_t>({9}), 7);
    EXPECT_EQ(variables.get("thswap")->at<int32_t>({1}), 0xBEEF);
    EXPECT_EQ(variables.get("thswap")->at<int32_t>({9}), 2);

    memory.pop_back();
    driver.set_learn_mem(memory);
    auto* impl = dynamic_cast<VariablesImpl*>(&fixture.dense.layer->variables());
    EXPECT_THAT([&] { fnp_update_learn_vars(hardware.get(), impl, fnp3); },
                throws_text<std::runtime_error>(std::string("Backend hardware(FullyConnected): The device's learn "
                                                            "memory holds ") + (fnp3 ? "51" : "49") +
                                                " words; the learning layer needs " + (fnp3 ? "52." : "50.")));
  }
}

}  // namespace
}  // namespace ornix::v1
