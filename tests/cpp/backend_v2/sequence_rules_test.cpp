#include "backend/v2/sequence_rules.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/layer_fixtures.h"

namespace ornix {
namespace {

using Layers = std::vector<std::shared_ptr<Layer>>;

// Layer parameters of each kind, with a ReLU so that the end-of-sequence output rule passes.
const LayerParams::Values kConv{{"kernel_size", 1}, {"filters", 4}, {"activation", 1}};
const LayerParams::Values kPooledConv{{"kernel_size", 1}, {"filters", 4}, {"activation", 1}, {"pool_type", 1},
                                      {"pool_size", 2}};
const LayerParams::Values kDense{{"units", 4}, {"activation", 1}};

// A model over an 8x8x4 input ("input") to which layers are added after explicit inbounds.
struct Graph {
  std::unique_ptr<Model> model = test::model_with_input(8, 8, 4);

  std::shared_ptr<Layer> add(LayerType type, const LayerParams::Values& values, const std::string& name,
                             const Layers& inbounds = {}) {
    auto layer = test::make_layer(type, values, name);
    model->add(layer, inbounds);
    return layer;
  }
};

LayerMappingStatus check(const Layers& run) { return v2::check_layer_sequence(run.begin(), run.end()); }

const LayerMappingStatus kPass("");

TEST(V2SequenceRules, AnEmptyRunPasses) {
  // A model holding only its input layer hands the back end no layer to map.
  EXPECT_EQ(check({}), kPass);
}

TEST(V2SequenceRules, DequantizerOnlyEndsASequence) {
  Graph g;
  const auto pooled = g.add(LayerType::Conv2D, kPooledConv, "pooled");
  const auto first = g.add(LayerType::Dequantizer, {}, "first_dequantizer");
  const auto conv = g.add(LayerType::Conv2D, kConv, "conv");
  const auto last = g.add(LayerType::Dequantizer, {}, "last_dequantizer");

  EXPECT_EQ(check({first}), LayerMappingError("first_dequantizer", "Can't start a sequence with a Dequantizer."));
  EXPECT_EQ(check({pooled, first, conv, last}),
            LayerMappingError("first_dequantizer", "Only 1 Dequantizer at the end of the model is supported."));
  // The layer before a final Dequantizer ends the sequence.
  EXPECT_EQ(check({pooled, first}),
            LayerMappingError("pooled", "A layer with max pooling cannot be the last layer of a sequence."));
  EXPECT_EQ(check({conv, last}), kPass);
}

TEST(V2SequenceRules, OutputWithoutActivationIsNeitherShiftedNorScaled) {
  Graph g;
  const auto narrow = g.add(LayerType::Dense1D, {{"units", 1}, {"output_bits", 8}}, "narrow");
  const auto wide = g.add(LayerType::Dense1D, {{"units", 1}}, "wide");  // 32-bit output
  const auto set = [](const std::shared_ptr<Layer>& layer, int8_t shift, uint8_t scale) {
    layer->variables().set("output_shift", Dense::copy(&shift, 1, TensorType::int8, Shape{1}));
    layer->variables().set("output_scales", Dense::copy(&scale, 1, TensorType::uint8, Shape{1}));
  };
  set(narrow, 3, 2);
  EXPECT_EQ(v2::check_no_activation_output(*narrow), kPass);
  set(wide, 1, 2);
  EXPECT_EQ(check({wide}), LayerMappingError("wide", "Without activation output_shift should be 0."));
  set(wide, 0, 2);
  EXPECT_EQ(check({wide}), LayerMappingError("wide", "Without activation output_scales should be 1."));
  set(wide, 0, 1);
  EXPECT_EQ(check({wide}), kPass);
  // A layer without these variables has nothing to apply.
  const auto conv = g.add(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 2}}, "conv");
  EXPECT_EQ(v2::check_no_activation_output(*conv), kPass);
}

TEST(V2SequenceRules, NpKindsRefuseOnlyPredecessorsInsideTheRun) {
  Graph g;
  const auto pooled = g.add(LayerType::Conv2D, kPooledConv, "pooled");
  const auto dense = g.add(LayerType::Dense1D, kDense, "dense");
  const auto conv = g.add(LayerType::Conv2D, kConv, "conv");
  EXPECT_EQ(check({pooled, dense}),
            LayerMappingError("dense", "Any layer with max pooling must be followed by a layer mapped on a CNP or a "
                                       "TNP-B. Layer 'pooled' has max pooling."));
  EXPECT_EQ(check({dense}), kPass);
  EXPECT_EQ(check({dense, conv}),
            LayerMappingError("conv", "A layer mapped on FNP cannot be directly followed by a layer mapped on CNP "
                                      "due to incompatible data processing requirements. Layer 'dense' is mappable "
                                      "on FNP."));

  Graph h;
  const auto a = h.add(LayerType::Conv2D, kConv, "a");
  const auto b = h.add(LayerType::Conv2D, kConv, "b");
  const auto sum = h.add(LayerType::Add, {}, "sum", {a, b});
  const auto fc = h.add(LayerType::Dense1D, kDense, "fc", {sum});
  EXPECT_EQ(check({b, sum, fc}),
            LayerMappingError("fc", "Dense layer can't have Add/Concat as inbound. Layer 'sum' is a Add/Concat."));
  EXPECT_EQ(check({fc}), kPass);
  EXPECT_EQ(check({sum, fc}), LayerMappingError("sum", "Can't be the first layer of the sequence."));
}

TEST(V2SequenceRules, FanOutLimits) {
  Graph g;
  const auto hrc = g.add(LayerType::InputConv2D, {{"kernel_size", 3}, {"filters", 4}, {"activation", 1}}, "hrc");
  const auto split = g.add(LayerType::Conv2D, kConv, "split");
  for (const char* name : {"x", "y"}) g.add(LayerType::Conv2D, kConv, name, {split});
  g.add(LayerType::Conv2D, kConv, "z", {hrc});
  // Two consumers pass the fan-out rule; the run then leaves two branches open.
  EXPECT_EQ(check({split}), LayerMappingError("", "Bad mapping on skip connection. Several branches."));
  EXPECT_EQ(check({hrc}), LayerMappingError("hrc", "A layer mapped on HRC supports 1 outbound only."));
  g.add(LayerType::Conv2D, kConv, "w", {split});
  EXPECT_EQ(check({split}),
            LayerMappingError("split", "Layer has 3 outbounds. A maximum of 2 outbounds is supported."));
}

TEST(V2SequenceRules, SkipConnectionsEndOnAMappableLayer) {
  Graph g;
  const auto a = g.add(LayerType::Conv2D, kConv, "a");
  const auto b = g.add(LayerType::Conv2D, kConv, "b");
  const auto sum = g.add(LayerType::Add, {}, "sum", {a, b});
  const auto after = g.add(LayerType::Conv2D, kConv, "after");
  EXPECT_EQ(check({a, b, sum}),
            LayerMappingError("sum", "Bad mapping on skip connection. No valid merge layer. Add layer requires an "
                                     "outbound that is mappable on a CNP."));
  EXPECT_EQ(check({a, b, sum, after}), kPass);
}

TEST(V2SequenceRules, DeeperSecondConcatInputMayNotFanOut) {
  // a -> b; concat(first, second) -> c; b also feeds d.
  const auto run = [](bool b_second) {
    Graph g;
    const auto a = g.add(LayerType::Conv2D, kConv, "a");
    const auto b = g.add(LayerType::Conv2D, kConv, "b");
    const auto concat = g.add(LayerType::Concatenate, {}, "concat", b_second ? Layers{a, b} : Layers{b, a});
    const auto c = g.add(LayerType::Conv2D, kConv, "c");
    const auto d = g.add(LayerType::Conv2D, kConv, "d", {b});
    return check({a, b, concat, c, d});
  };
  EXPECT_EQ(run(true), LayerMappingError("b", "Is the second input of a Concat, it can't have multiple outputs."));
  // a also has two consumers, but as the shallower second input it may.
  EXPECT_EQ(run(false), kPass);
}

TEST(V2SequenceRules, AGrowingRunGetsTheWholeRunsAnswerAtEveryLayer) {
  Graph g;
  const auto pooled = g.add(LayerType::Conv2D, kPooledConv, "pooled");
  const auto dense = g.add(LayerType::Dense1D, kDense, "dense");
  const auto conv = g.add(LayerType::Conv2D, kConv, "conv");
  const auto dequantizer = g.add(LayerType::Dequantizer, {}, "dequantizer");
  const auto tail = g.add(LayerType::Conv2D, kConv, "tail");
  const std::string max_pooling_last = "A layer with max pooling cannot be the last layer of a sequence.";
  const std::string after_pooling =
      "Any layer with max pooling must be followed by a layer mapped on a CNP or a TNP-B. Layer 'pooled' has max "
      "pooling.";
  const std::string dequantizer_inside = "Only 1 Dequantizer at the end of the model is supported.";

  // Per run, the expected answer once each of its layers has been added. An earlier rule hides
  // a layer's own finding for a while; the finding must come back once the earlier rule passes.
  const struct {
    Layers run;
    std::vector<LayerMappingStatus> answers;
  } cases[] = {
      {{pooled, dense, conv},
       {LayerMappingError("pooled", max_pooling_last), LayerMappingError("dense", after_pooling),
        LayerMappingError("dense", after_pooling)}},
      {{conv, dequantizer, tail},
       {kPass, kPass, LayerMappingError("dequantizer", dequantizer_inside)}},
      {{dense, conv, dequantizer},
       {kPass,
        LayerMappingError("conv", "A layer mapped on FNP cannot be directly followed by a layer mapped on CNP due to "
                                  "incompatible data processing requirements. Layer 'dense' is mappable on FNP."),
        LayerMappingError("conv", "A layer mapped on FNP cannot be directly followed by a layer mapped on CNP due to "
                                  "incompatible data processing requirements. Layer 'dense' is mappable on FNP.")}},
  };
  for (const auto& c : cases) {
    v2::SequenceRules rules;
    for (size_t i = 0; i < c.run.size(); ++i) {
      const LayerMappingStatus grown = rules.extend(c.run[i]);
      EXPECT_EQ(grown, c.answers[i]) << c.run.front()->name() << " run, layer " << i;
      EXPECT_EQ(grown, check(Layers(c.run.begin(), c.run.begin() + static_cast<std::ptrdiff_t>(i) + 1)));
    }
  }
}

}  // namespace
}  // namespace ornix
