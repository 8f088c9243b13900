#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/error_text.h"
#include "layer_fixtures.h"
#include "model_format/model_generated.h"

namespace ornix {
namespace {

namespace fbm = fb::model;
using Bytes = std::vector<uint8_t>;
using test::add_layer;
using test::make_layer;

// Most of what a saved model holds: two inbound links (Add), a compiled FullyConnected layer
// with reversed-layout weights, variables of several types holding bytes that are not all zero.
std::unique_ptr<Model> varied_model() {
  auto model = test::model_with_input(4, 4, 2);
  add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 3}, {"padding", 1}}, "left");
  model->add(make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 3}}, "right"), {model->get_layer(0)});
  model->add(make_layer(LayerType::Add, {}, "add"), {model->get_layer("left"), model->get_layer("right")});
  add_layer(*model, LayerType::FullyConnected, {{"units", 6}, {"weights_bits", 1}}, "dense");
  model->compile(LearningParams::create(LearningType::Unsupervised,
                                        {{"num_weights", 3}, {"num_classes", 2}, {"initial_plasticity", 1},
                                         {"learning_competition", 0.5}, {"min_plasticity", 0.1},
                                         {"plasticity_decay", 0.25}}));
  for (const auto& layer : model->layers()) {
    for (const auto& name : layer->variables().names()) {
      const auto stored = layer->variables().get(name);
      auto filled = Dense::create(stored->type(), stored->shape(), stored->layout());
      for (size_t i = 0; i < filled->byte_size(); ++i) filled->buffer()[i] = static_cast<uint8_t>(i % 3 == 0);
      layer->variables().set(name, filled);
    }
  }
  return model;
}

// Everything of a layer that a saved model holds, as text.
std::string described(Layer& layer) {
  std::string text = layer.name() + " type " + std::to_string(static_cast<int>(layer.params()->layer_type()));
  for (const auto& key : layer.params()->keys()) text += " " + key + "=" + std::to_string(layer.params()->get(key));
  for (const auto& inbound : layer.inbound_layers()) text += " <- " + inbound->name();
  for (const auto& name : layer.variables().names()) {
    const auto v = layer.variables().get(name);
    text += " " + name + ":" + tensor_type_name(v->type()) + "/" + std::to_string(static_cast<int>(v->layout())) + "/";
    for (const uint32_t dim : v->shape()) text += std::to_string(dim) + ",";
    text += std::string(v->buffer(), v->buffer() + v->byte_size());
  }
  return text + (layer.is_learning() ? " learning" : "");
}

TEST(ModelBuffer, HoldsLayersLinksVariablesAndLearningAndSavesBackByteForByte) {
  const auto model = varied_model();
  const Bytes saved = model->to_buffer();
  const auto loaded = Model::from_buffer(saved.data(), saved.size());
  ASSERT_EQ(loaded->layer_count(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(described(*loaded->get_layer(i)), described(*model->get_layer(i)));
  ASSERT_NE(loaded->learning(), nullptr);
  EXPECT_EQ(loaded->learning()->get("learning_competition"), 0.5);
  EXPECT_EQ(loaded->to_buffer(), saved);
  Bytes shifted(saved.size() + 1);  // a buffer at an odd address loads the same
  std::memcpy(shifted.data() + 1, saved.data(), saved.size());
  EXPECT_EQ(Model::from_buffer(shifted.data() + 1, saved.size())->to_buffer(), saved);
  const Bytes empty = Model::create()->to_buffer();
  EXPECT_EQ(Model::from_buffer(empty.data(), empty.size())->layer_count(), 0u);
}

// A saved model written field by field, to hold what to_buffer never writes.
struct SavedVariable { std::string name; uint32_t type; uint8_t layout; std::vector<uint32_t> shape; size_t bytes; };
struct SavedLayer {
  uint32_t type;
  std::string name;
  std::vector<std::pair<std::string, int32_t>> params;
  std::vector<uint32_t> inbounds;
  std::vector<SavedVariable> variables;
  std::optional<uint32_t> learning_type;
};

Bytes craft(const std::vector<SavedLayer>& layers) {
  flatbuffers::FlatBufferBuilder b;
  std::vector<flatbuffers::Offset<fbm::Layer>> saved;
  for (const SavedLayer& layer : layers) {
    std::vector<flatbuffers::Offset<fbm::Param>> params;
    for (const auto& [key, value] : layer.params) params.push_back(fbm::CreateParam(b, b.CreateString(key), value));
    std::vector<flatbuffers::Offset<fbm::Variable>> variables;
    for (const SavedVariable& v : layer.variables) {
      variables.push_back(fbm::CreateVariable(b, b.CreateString(v.name), v.type, v.layout, b.CreateVector(v.shape),
                                              b.CreateVector(Bytes(v.bytes))));
    }
    const auto learning = layer.learning_type ? fbm::CreateLearning(b, *layer.learning_type) : 0;
    saved.push_back(fbm::CreateLayer(b, layer.type, b.CreateString(layer.name), b.CreateVector(params),
                                     b.CreateVector(layer.inbounds), b.CreateVector(variables), learning));
  }
  fbm::FinishModelBuffer(b, fbm::CreateModel(b, b.CreateVector(saved)));
  return {b.GetBufferPointer(), b.GetBufferPointer() + b.GetSize()};
}

std::string load_error(const Bytes& buffer, size_t size) {
  return error_text([&] { Model::from_buffer(buffer.data(), size); });
}

TEST(ModelBuffer, RefusesContentTheEngineCannotHoldWithTheReason) {
  // An input of 2 x 2 x 1, then a Dense1D of two units with its int8 bias saved.
  const std::vector<SavedLayer> valid{
      {1, "input", {{"input_channels", 1}, {"input_height", 2}, {"input_width", 2}}, {}, {}, {}},
      {25, "dense", {{"units", 2}}, {0}, {{"bias", 4, 0, {2}, 2}}, {}}};
  ASSERT_EQ(load_error(craft(valid), craft(valid).size()), "no error");
  const std::string dense = "The model buffer's layer 1 (dense) is invalid: ";
  const std::string unordered = dense + "its names are not in ascending order or repeat.";
  const std::string not_utf8 = "a name of its parameters, variables or learning values is not UTF-8 text.";
  const std::vector<std::pair<std::function<void(SavedLayer&)>, std::string>> rows{
      {[](auto& l) { l.type = 7; }, dense + "No layer class serves layer type 7."},
      {[](auto& l) { l.params.push_back({"activation", 0}); }, unordered},
      {[](auto& l) { l.variables.push_back(l.variables[0]); }, unordered},
      {[](auto& l) { l.inbounds = {1}; }, dense + "its inbound layer 1 is not an earlier layer."},
      {[](auto& l) { l.inbounds = {}; }, dense + "it has no inbound layer."},
      {[](auto& l) { l.variables[0].type = 10; }, dense + "variable bias has the unknown type 10."},
      {[](auto& l) { l.variables[0].layout = 2; }, dense + "variable bias has the unknown layout 2."},
      {[](auto& l) { l.variables[0].shape = {2, 0}; },
       dense + "variable bias has no dimension, more than 4 or a dimension of 0."},
      {[](auto& l) { l.variables[0].bytes = 3; }, dense + "variable bias holds 3 bytes for a tensor of 2 bytes."},
      {[](auto& l) { l.variables[0] = {"bias", 4, 0, {3}, 3}; },
       dense + "Variable bias of shape (2) cannot take a tensor of shape (3)."},
      {[](auto& l) { l.params[0].second = 0x7FFFFFFF; },  // 8 bytes a unit, 4 input shifts
       dense + "Layer dense would need 17179869180 bytes of variables; a layer holds at most 536870912 bytes."},
      {[](auto& l) { l.learning_type = 0; },
       dense + "Layer dense cannot learn: only a FullyConnected layer can be compiled."},
      // Another element type than the layer declares, of the right size.
      {[](auto& l) { l.variables[0] = {"bias", 1, 0, {2}, 8}; },
       dense + "Unsupported variable type for bias expected int8 received float32"},
      {[](auto& l) { l.variables[0].type = 2; },
       dense + "Unsupported variable type for bias expected int8 received uint8"},
      // Names that are not UTF-8: the layer's own is not quoted.
      {[](auto& l) { l.name = "den\xffse"; }, "The model buffer's layer 1 is invalid: its name is not UTF-8 text."},
      {[](auto& l) { l.params[0].first = "unit\xc0\x80"; }, dense + not_utf8},
      {[](auto& l) { l.variables[0].name = "bi\xed\xa0\x80s"; }, dense + not_utf8},
  };
  for (const auto& [change, expected] : rows) {
    auto layers = valid;
    change(layers[1]);
    EXPECT_EQ(load_error(craft(layers), craft(layers).size()), expected);
  }

  const std::string corrupt = "The model buffer is truncated or corrupt.";
  const Bytes saved = varied_model()->to_buffer();
  for (const size_t size : {size_t{0}, size_t{7}, saved.size() / 2, saved.size() - 8}) {
    EXPECT_EQ(load_error(saved, size), corrupt);
  }
  EXPECT_EQ(error_text([] { Model::from_buffer(nullptr, 64); }), corrupt);
  Bytes renamed = saved;
  renamed[4] = 'X';  // the file identifier
  EXPECT_EQ(load_error(renamed, renamed.size()), corrupt);
}

// Corrupted copies of real saved models load or are refused with std::invalid_argument: never
// another error, a crash or a sanitizer report. The cases come from a fixed seed.
TEST(ModelBuffer, MutatedBuffersLoadOrAreRefused) {
  auto chain = test::model_with_input(3, 3, 2);
  add_layer(*chain, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 2}, {"activation", 1}}, "conv");
  add_layer(*chain, LayerType::Dense1D, {{"units", 5}, {"weights_bits", 4}}, "dense");
  const std::vector<Bytes> models{varied_model()->to_buffer(), chain->to_buffer()};
  std::mt19937 random(20261207);
  const auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
  // What a mutated buffer may give: a refusal, any model when `changed`, else the same model.
  const auto load = [](const Bytes& buffer, size_t size, const Bytes& original, bool changed) {
    try {
      const Bytes again = Model::from_buffer(buffer.data(), size)->to_buffer();
      EXPECT_TRUE(changed || again == original) << size;
    } catch (const std::invalid_argument&) {
    }
  };
  for (int i = 0; i < 6000; ++i) {
    const Bytes& model = models[i % 2];
    Bytes buffer = model;
    switch (i % 3) {
      case 0:  // bit flips
        for (size_t flips = 1 + below(3); flips > 0; --flips) buffer[below(buffer.size())] ^= 1u << below(8);
        break;
      case 1:  // random bytes, or bytes of the other model, over a short run
        for (size_t k = below(buffer.size()), end = std::min(buffer.size(), k + 1 + below(16)); k < end; ++k) {
          buffer[k] = i % 2 ? static_cast<uint8_t>(random()) : models[(i + 1) % 2][k % models[(i + 1) % 2].size()];
        }
        break;
      default:  // truncations: only the alignment padding at the end may go unnoticed
        load(buffer, below(buffer.size()), model, false);
        continue;
    }
    load(buffer, buffer.size(), model, true);
  }
}

}  // namespace
}  // namespace ornix
