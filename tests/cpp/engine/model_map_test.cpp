#include <gtest/gtest.h>

#include "support/fake_mapping.h"
#include "layer_fixtures.h"

namespace ornix {
namespace {

using test::FakeDevice;
using test::OneSequenceMapper;
using test::ScopedMapper;

// Each sample's output: one int32 holding the sample's first byte plus 100.
std::vector<std::shared_ptr<Tensor>> add_hundred(const std::vector<std::shared_ptr<const Tensor>>& inputs) {
  std::vector<std::shared_ptr<Tensor>> outputs;
  for (const auto& input : inputs) {
    const auto dense = std::const_pointer_cast<Tensor>(input)->ensure_dense();
    auto out = Dense::create(TensorType::int32, Shape{1, 1, 1});
    out->data<int32_t>()[0] = dense->data<uint8_t>()[0] + 100;
    outputs.push_back(out);
  }
  return outputs;
}

std::shared_ptr<Dense> samples(std::vector<uint8_t> first_bytes) {
  auto inputs = Dense::create(TensorType::uint8, Shape{static_cast<uint32_t>(first_bytes.size()), 2, 2, 1});
  for (size_t i = 0; i < first_bytes.size(); ++i) inputs->data<uint8_t>()[i * 4] = first_bytes[i];
  return inputs;
}

std::unique_ptr<Model> dense_model() {
  auto model = test::model_with_input(2, 2, 1);
  test::add_layer(*model, LayerType::Dense1D, {{"units", 3}, {"weights_bits", 8}}, "dense");
  return model;
}

TEST(ModelMap, NeedsARegisteredBackEndAndADevice) {
  auto model = dense_model();
  const ScopedMapper none{nullptr};
  EXPECT_THROW(
      {
        try {
          model->map(std::make_shared<FakeDevice>(), true, nullptr);
        } catch (const std::runtime_error& error) {
          EXPECT_STREQ(error.what(), "No hardware back end is registered with the engine.");
          throw;
        }
      },
      std::runtime_error);

  OneSequenceMapper fake{add_hundred};
  const ScopedMapper registered{fake.mapper()};
  EXPECT_THROW(model->map(nullptr, true, nullptr), std::invalid_argument);
  EXPECT_EQ(model->device(), nullptr);
}

TEST(ModelMap, HandsTheLayersAfterTheInputToTheBackEndAndKeepsItsSequences) {
  auto model = dense_model();
  OneSequenceMapper fake{add_hundred};
  const ScopedMapper registered{fake.mapper()};
  const auto device = std::make_shared<FakeDevice>();

  model->map(device, true, nullptr);

  ASSERT_EQ(fake.last_sequence->passes().front()->layers.size(), 1u);
  EXPECT_EQ(fake.last_sequence->passes().front()->layers.front(), model->get_layer("dense"));
  EXPECT_EQ(fake.last_request.device, device);
  EXPECT_TRUE(fake.last_request.hw_only);
  EXPECT_EQ(fake.last_request.constraints, nullptr);
  EXPECT_EQ(model->device(), device);
  ASSERT_EQ(model->sequences().size(), 1u);
  EXPECT_EQ(model->sequences().front(), fake.last_sequence);
}

TEST(ModelMap, AFailingBackEndLeavesTheEarlierMapping) {
  auto model = dense_model();
  OneSequenceMapper fake{add_hundred};
  {
    const ScopedMapper registered{fake.mapper()};
    model->map(std::make_shared<FakeDevice>(), true, nullptr);
  }
  const auto mapped_device = model->device();
  const ScopedMapper failing{[](auto&, auto&, const MapRequest&) { throw std::runtime_error("Cannot map layer 'dense'."); }};
  EXPECT_THROW(model->map(std::make_shared<FakeDevice>(), true, nullptr), std::runtime_error);
  EXPECT_EQ(model->device(), mapped_device);
  EXPECT_EQ(model->sequences().size(), 1u);
}

TEST(ModelForward, RunsTheSequencesAndStacksOneOutputPerSample) {
  auto model = dense_model();
  OneSequenceMapper fake{add_hundred};
  const ScopedMapper registered{fake.mapper()};
  model->map(std::make_shared<FakeDevice>(), true, nullptr);

  const auto outputs = model->forward(samples({1, 2, 3}), 2);

  EXPECT_EQ(fake.last_sequence->runs, 2);  // batches of 2 and 1 samples
  EXPECT_EQ(outputs->shape(), (Shape{3, 1, 1, 1}));
  EXPECT_EQ(outputs->type(), TensorType::int32);
  EXPECT_EQ(outputs->data<int32_t>()[0], 101);
  EXPECT_EQ(outputs->data<int32_t>()[1], 102);
  EXPECT_EQ(outputs->data<int32_t>()[2], 103);
}

TEST(ModelForward, RefusesModelsWithLayersOffTheDevice) {
  auto model = dense_model();
  EXPECT_THROW(model->forward(samples({1}), 0), std::runtime_error);

  const ScopedMapper partial{[](std::vector<std::shared_ptr<Layer>>& layers, auto& sequences, const MapRequest&) {
    sequences.push_back(std::make_shared<test::FakeSequence>("HW/none", std::vector<std::shared_ptr<Layer>>{}, add_hundred));
    (void)layers;  // leaves "dense" unmapped
  }};
  model->map(std::make_shared<FakeDevice>(), false, nullptr);
  try {
    model->forward(samples({1}), 0);
    FAIL() << "forward ran a layer that is not mapped";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Layer dense is not mapped on the device: this engine runs no layer in software.");
  }
}

}  // namespace
}  // namespace ornix
