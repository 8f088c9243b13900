#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/error_text.h"
#include "layer_fixtures.h"
#include "support/fake_mapping.h"

namespace ornix {
namespace {

using test::add_layer;
using test::FakeDevice;
using test::ScopedMapper;

// A sequence over `layers` that answers each sample with one int32 zero and records the labels
// of each run.
class RecordingSequence final : public ForwardableSequence {
 public:
  explicit RecordingSequence(std::vector<std::shared_ptr<Layer>> layers) : passes_{std::make_shared<Pass>()} {
    passes_[0]->layers = std::move(layers);
  }
  const std::vector<std::shared_ptr<Pass>>& passes() const override { return passes_; }
  BackendType backend() const override { return BackendType::Hardware; }
  Bytes program() const override { return {}; }
  ProgramParts program_parts() const override { return {}; }
  std::string name() const override { return "HW/recording"; }
  std::vector<std::shared_ptr<Tensor>> forward_samples(const std::vector<std::shared_ptr<const Tensor>>& inputs,
                                                       std::vector<int32_t>* labels) override {
    runs.push_back(labels ? *labels : std::vector<int32_t>{-1});
    if (labels && learned) learned();
    return std::vector<std::shared_ptr<Tensor>>(inputs.size(), Dense::create(TensorType::int32, Shape{1, 1, 1}));
  }
  std::vector<std::vector<int32_t>> runs;  // {-1}: a run without learning
  std::function<void()> learned;           // a fit run's read-back of learned variables
  std::vector<std::shared_ptr<Pass>> passes_;
};

std::shared_ptr<LearningParams> learning_params(double num_weights = 3) {
  return LearningParams::create(LearningType::Unsupervised,
                                {{"num_weights", num_weights}, {"num_classes", 2}, {"initial_plasticity", 1},
                                 {"learning_competition", 0}, {"min_plasticity", 0.1}, {"plasticity_decay", 0.25}});
}

// An 8 x 8 x 8 model mapped on two recording sequences: one without layers, then its layers.
struct MappedModel {
  explicit MappedModel(bool signed_input = false) : model(Model::create()) {
    model->add(test::make_layer(LayerType::InputData,
                                {{"input_width", 8}, {"input_height", 8}, {"input_channels", 8},
                                 {"input_signed", signed_input}},
                                "input"));
    add_layer(*model, LayerType::FullyConnected, {{"units", 2}, {"weights_bits", 1}}, "dense");
    map();
  }
  void map() {
    const ScopedMapper mapper{[this](auto& layers, auto& sequences, const MapRequest&) {
      front = std::make_shared<RecordingSequence>(std::vector<std::shared_ptr<Layer>>{});
      sequence = std::make_shared<RecordingSequence>(layers);
      sequences = {front, sequence};
      layers.clear();
    }};
    model->map(std::make_shared<FakeDevice>(), true, nullptr);
  }
  std::string forward(TensorType type, const Shape& shape, Layout layout = Layout::RowMajor) {
    return error_text([&] { model->forward(Dense::create(type, shape, layout), 0); });
  }
  std::unique_ptr<Model> model;
  std::shared_ptr<RecordingSequence> front, sequence;
};

TEST(ModelInputs, FramesMustHaveTheModelsSampleShapeAndInputType) {
  MappedModel unsigned_model;
  EXPECT_EQ(unsigned_model.forward(TensorType::uint8, {2, 8, 8, 8}), "no error");
  const std::string shape = "The model takes inputs of shape (N, 8, 8, 8) for N samples; got ";
  EXPECT_EQ(unsigned_model.forward(TensorType::uint8, {2, 4, 4, 4}), shape + "(2, 4, 4, 4).");
  EXPECT_EQ(unsigned_model.forward(TensorType::uint8, {2, 8, 8, 9}), shape + "(2, 8, 8, 9).");
  EXPECT_EQ(unsigned_model.forward(TensorType::uint8, {512}), shape + "(512).");
  EXPECT_EQ(unsigned_model.forward(TensorType::float32, {2, 8, 8, 8}), "The model takes uint8 inputs; got float32.");
  EXPECT_EQ(unsigned_model.forward(TensorType::uint8, {2, 8, 8, 8}, Layout::Reversed),
            "The model takes row-major inputs; got a tensor in reversed layout.");
  EXPECT_EQ(unsigned_model.sequence->runs.size(), 1u);  // the refused inputs never ran

  MappedModel signed_model(true);
  EXPECT_EQ(signed_model.forward(TensorType::int8, {1, 8, 8, 8}), "no error");
  EXPECT_EQ(signed_model.forward(TensorType::int16, {1, 8, 8, 8}), "no error");
  EXPECT_EQ(signed_model.forward(TensorType::uint8, {1, 8, 8, 8}), "The model takes int8 or int16 inputs; got uint8.");
}

TEST(ModelInference, FitNeedsACompiledModelAndHandsEachBatchItsLabels) {
  MappedModel mapped;
  const auto inputs = Dense::create(TensorType::uint8, {5, 8, 8, 8});
  EXPECT_EQ(error_text([&] { mapped.model->fit(inputs, {}, 0); }),
            "Cannot fit a model that is not compiled: compile it first.");
  mapped.model->compile(learning_params());
  mapped.map();
  EXPECT_EQ(error_text([&] { mapped.model->fit(inputs, {1, 2}, 0); }),
            "fit takes no label, one label for all samples or one per sample; got 2 labels for 5 samples.");
  EXPECT_EQ(mapped.model->fit(inputs, {0, 1, 2, 3, 4}, 2)->shape(), (Shape{5, 1, 1, 1}));
  mapped.model->fit(inputs, {7}, 3);
  mapped.model->fit(inputs, {}, 0);
  mapped.model->forward(inputs, 0);
  EXPECT_EQ(mapped.sequence->runs, (std::vector<std::vector<int32_t>>{{0, 1}, {2, 3}, {4}, {7}, {7}, {}, {-1}}));
  EXPECT_EQ(mapped.front->runs, std::vector<std::vector<int32_t>>(7, {-1}));  // it holds no learning layer
}

TEST(ModelInference, PredictRefusesAnActivationOnTheLastLayerAndStaleMappingsAreRefused) {
  MappedModel mapped;
  const auto inputs = Dense::create(TensorType::uint8, {1, 8, 8, 8});
  EXPECT_EQ(mapped.model->predict(inputs, 0)->shape(), (Shape{1, 1, 1, 1}));
  add_layer(*mapped.model, LayerType::Dense1D, {{"units", 3}, {"activation", 1}}, "relu");
  EXPECT_THAT([&] { mapped.model->predict(inputs, 0); },
              test::throws_text<std::runtime_error>(
                  "Cannot predict with a model whose last layer (relu) has an activation: use forward."));
  EXPECT_EQ(error_text([&] { mapped.model->forward(inputs, 0); }),
            "The model's layers changed since it was mapped: map it again.");
  EXPECT_EQ(error_text([&] { mapped.model->sequences(); }),
            "The model's layers changed since it was mapped: map it again.");
}

// The program on the device was built from the variables as they were when the model was
// mapped: setting any of them, of any mapped layer, refuses runs, and the sequences that hold
// that program, until the model is mapped again. Learned values that fit reads back from the
// device are the device's own.
TEST(ModelInference, ASetVariableMakesTheMappingStale) {
  const std::string stale = "The model's layers changed since it was mapped: map it again.";
  const auto inputs = Dense::create(TensorType::uint8, {1, 8, 8, 8});
  const struct {
    const char* variable;
    std::shared_ptr<Dense> value;
  } changes[] = {
      {"weights", Dense::create(TensorType::bit, Shape{2, 512}, Layout::Reversed)},
      {"threshold", Dense::create(TensorType::int32, Shape{2})},
      {"act_step", Dense::create(TensorType::float32, Shape{2})},
  };
  for (const auto& change : changes) {
    SCOPED_TRACE(change.variable);
    MappedModel mapped;
    mapped.model->get_layer("dense")->variables().set(change.variable, change.value);
    EXPECT_EQ(error_text([&] { mapped.model->forward(inputs, 0); }), stale);
    EXPECT_EQ(error_text([&] { mapped.model->predict(inputs, 0); }), stale);
    EXPECT_EQ(error_text([&] { mapped.model->sequences(); }), stale);
    EXPECT_TRUE(mapped.sequence->runs.empty());
    mapped.map();
    EXPECT_EQ(error_text([&] { mapped.model->forward(inputs, 0); }), "no error");
    EXPECT_EQ(mapped.model->sequences(), (std::vector<std::shared_ptr<Sequence>>{mapped.front, mapped.sequence}));
  }

  MappedModel learning;
  learning.model->compile(learning_params());
  learning.map();
  const auto dense = learning.model->get_layer("dense");
  learning.sequence->learned = [&] { dense->variables().set("thswap", Dense::create(TensorType::int32, Shape{2})); };
  EXPECT_EQ(error_text([&] { learning.model->fit(inputs, {1}, 0); }), "no error");
  EXPECT_EQ(error_text([&] { learning.model->forward(inputs, 0); }), "no error");
  EXPECT_EQ(error_text([&] { learning.model->sequences(); }), "no error");
}

// Any edit after mapping, whatever layers come back, makes the mapping stale; an edit the model
// refuses changes nothing and leaves it current.
TEST(ModelInference, EveryEditMakesTheMappingStaleAndARefusedOneLeavesItCurrent) {
  const std::string stale = "The model's layers changed since it was mapped: map it again.";
  const auto inputs = Dense::create(TensorType::uint8, {1, 8, 8, 8});
  const LayerParams::Values dense{{"units", 2}, {"weights_bits", 1}};
  const struct {
    const char* edit;
    std::function<void(Model&)> apply;
    bool refused;
  } edits[] = {
      {"add", [&](Model& model) { add_layer(model, LayerType::FullyConnected, dense, "more"); }, false},
      {"pop", [](Model& model) { model.pop_layer(); }, false},
      {"the same layer back",
       [](Model& model) {
         const auto layer = model.get_layer("dense");
         model.pop_layer();
         model.add(layer);
       },
       false},
      {"compile", [](Model& model) { model.compile(learning_params()); }, false},
      {"a null layer", [](Model& model) { model.add(nullptr); }, true},
      {"a name in use", [&](Model& model) { add_layer(model, LayerType::FullyConnected, dense, "dense"); }, true},
      {"null learning", [](Model& model) { model.compile(nullptr); }, true},
      {"more weights than inputs", [](Model& model) { model.compile(learning_params(513)); }, true},
  };
  for (const auto& edit : edits) {
    SCOPED_TRACE(edit.edit);
    MappedModel mapped;
    EXPECT_EQ(error_text([&] { edit.apply(*mapped.model); }) != "no error", edit.refused);
    const std::string expected = edit.refused ? "no error" : stale;
    EXPECT_EQ(error_text([&] { mapped.model->forward(inputs, 0); }), expected);
    EXPECT_EQ(error_text([&] { mapped.model->sequences(); }), expected);
  }
}

}  // namespace
}  // namespace ornix
