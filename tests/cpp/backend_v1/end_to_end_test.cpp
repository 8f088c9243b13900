#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "backend_v1/v1_real_model.h"
#include "backend_v2/dma_blocks.h"

// Generation-1 models go through the built-in back end, with the real generation-1 checker,
// sizer and recorders, onto simulated IP v1 devices (product ids 0xA1 and 0x00), and their
// programs are read back with the engine's reader.

namespace ornix::v1::test {
namespace {

using T = LayerType;

LayerParams::Values hrc_params() {
  return {{"input_width", 8}, {"input_height", 8},   {"input_channels", 3},  {"kernel_width", 3},
          {"kernel_height", 3}, {"stride_x", 1},     {"stride_y", 1},        {"padding", 1},
          {"filters", 8},     {"pool_type", 0},      {"pooling_width", -1},  {"pooling_height", -1},
          {"weights_bits", 2}, {"activation", 1},    {"act_bits", 4},        {"padding_value", 0}};
}
LayerParams::Values conv_params(int32_t filters, LayerParams::Values more = {}) {
  more.insert({{"kernel_width", 3}, {"kernel_height", 3}, {"stride_x", 1}, {"stride_y", 1}, {"padding", 1},
               {"filters", filters}, {"pool_type", 0}, {"weights_bits", 2}, {"activation", 1}, {"act_bits", 2}});
  return more;
}
LayerParams::Values dense_params(int32_t units, int32_t weights_bits = 2) {
  return {{"units", units}, {"weights_bits", weights_bits}, {"activation", 1}, {"act_bits", 2}};
}
const LayerParams::Values kMaxPool2x2{{"pool_type", 1},        {"pooling_width", 2},   {"pooling_height", 2},
                                      {"pooling_stride_x", 2}, {"pooling_stride_y", 2}};

std::vector<hw::Type> types_of(const Layer& layer) {
  std::vector<hw::Type> types;
  for (const hw::Component& component : components_of(layer)) types.push_back(component.type);
  return types;
}

std::vector<std::string> layer_names(const Sequence::Pass& pass) {
  std::vector<std::string> names;
  for (const auto& layer : pass.layers) names.push_back(layer->name());
  return names;
}

// Every NP of a mapped layer holds the memory its kind needs: CNPs their input window and
// weights, an FNP3 its input and image, an FNP2 its input and external image, the HRC its SRAM.
void expect_memory_figures_filled(const Layer& layer) {
  for (const hw::Component& c : components_of(layer)) {
    const MemoryInfo& m = c.mem_info;
    const std::string what = layer.name() + " on " + hw::to_string(c.type);
    switch (c.type) {
      case hw::Type::HRC:
        EXPECT_TRUE(m.input_size == 0 && m.weight_size > 0 && m.external_size == 0) << what;
        break;
      case hw::Type::FNP2:
        EXPECT_TRUE(m.input_size > 0 && m.weight_size == 0 && m.external_size > 0) << what;
        break;
      default:
        EXPECT_TRUE(m.input_size > 0 && m.weight_size > 0 && m.external_size == 0) << what;
    }
  }
}

struct V1Device {
  const char* what;
  HwVersion version;
  hw::Type fnp;
  uint8_t output_type;  // of a sequence ending in a FullyConnected layer after an HRC
};
const V1Device kDevices[] = {
    {"A1, FNP3", kA1Device, hw::Type::FNP3, 0},
    {"A1, FNP2", kA1Device, hw::Type::FNP2, 0},
    {"Vamo_v2, FNP3", kVamoV2Device, hw::Type::FNP3, 1},
    {"Vamo_v2, FNP2", kVamoV2Device, hw::Type::FNP2, 1},
};

// hrc (8 x 8 x 3 -> 8 filters, 4-bit outputs) -> conv (16 filters, 2-bit) -> dense (10 units).
// Memory figures worked out by hand:
// - hrc, HRC: 3 SRAMs x 8 filters x 3 words (one filter's 9 weights of a channel) = 72 words,
//   plus 2 threshold/step words a filter, 16: 88 words = 352 bytes of weights.
// - conv, one CNP over the whole 8 x 8 x 8 input: container (4 bits x 8 + 7) / 8 = 4 bytes; a
//   row of 8 channels (8 x 4 x 8 + 31) / 32 = 8 words x 8 padded rows = 64 words = 256 bytes of
//   input. Weights: 5 kernels of 3x3 a slot, ceil(2 x 16 / 5) = 7 slots a channel, round16(14)
//   = 16 words x 8 channels = 128 words = 64 weight words of 50 bits = 400 bytes.
// - dense: input 8 x 8 x 16 at 2 bits: (1024 + 31) / 32 = 32 words = 128 bytes; image
//   (ceil(1024 / 32) x 2 planes + 4) x 10 units = 680 words = 2720 bytes, in an FNP3, or
//   outside an FNP2.
TEST(V1EndToEnd, HrcConvDenseMapsIntoOnePassOnEveryV1DeviceAndFnpKind) {
  for (const V1Device& d : kDevices) {
    SCOPED_TRACE(d.what);
    V1RealModel m(d.version, v1_nps(4, d.fnp));
    const auto hrc = m.add(T::InputConvolutional, hrc_params(), "hrc");
    const auto conv = m.add(T::Convolutional, conv_params(16), "conv");
    const auto dense = m.add(T::FullyConnected, dense_params(10), "dense");
    ASSERT_EQ(m.map(), "");
    ASSERT_EQ(m.model->sequences().size(), 1u);
    const auto sequence = m.sequence(0);
    EXPECT_EQ(sequence->name(), "HW/hrc-dense");
    ASSERT_EQ(sequence->passes().size(), 1u);
    EXPECT_EQ(layer_names(*sequence->passes()[0]), (std::vector<std::string>{"hrc", "conv", "dense"}));

    EXPECT_EQ(types_of(*hrc), std::vector<hw::Type>{hw::Type::HRC});
    EXPECT_EQ(types_of(*conv), std::vector<hw::Type>{hw::Type::CNP1});
    EXPECT_EQ(types_of(*dense), std::vector<hw::Type>{d.fnp});
    const bool fnp3 = d.fnp == hw::Type::FNP3;
    EXPECT_EQ(components_of(*hrc)[0].mem_info, (MemoryInfo{0, 352, 0}));
    EXPECT_EQ(components_of(*conv)[0].mem_info, (MemoryInfo{256, 400, 0}));
    EXPECT_EQ(components_of(*dense)[0].mem_info, (MemoryInfo{128, fnp3 ? 2720u : 0u, fnp3 ? 0u : 2720u}));

    const ornix::test::Blob blob = m.read_program(*sequence);
    EXPECT_EQ(static_cast<int>(blob.info->input_type()), 0);  // the HRC streams the input in
    EXPECT_EQ(static_cast<int>(blob.info->output_type()), d.output_type);
    // Records: the SCC, then one per layer; an FNP2's image rides in the record's filters track.
    const auto* records = blob.info->pass_spans()->Get(0)->records();
    ASSERT_EQ(records->size(), 4u);
    EXPECT_EQ(records->Get(3)->filters() != nullptr, !fnp3);
    EXPECT_EQ(m.run()->shape(), (Shape{2, 1, 1, 10}));
  }
}

// An HRC alone answers int32 values (output type 1 on both products): an output frame of
// width x 256 rows x 4 bytes fits the device's 256 MiB up to a width of 262144; one column more
// and the map refuses the layer rather than write a program no device takes.
TEST(V1EndToEnd, AnOutputFrameBeyondTheDevicesMemoryIsRefusedWhenMapped) {
  for (const HwVersion version : {kA1Device, kVamoV2Device}) {
    for (const int32_t width : {262144, 262145}) {
      SCOPED_TRACE(std::to_string(width) + " wide");
      V1RealModel m(version, v1_nps(1, hw::Type::FNP3));
      LayerParams::Values params = hrc_params();
      params["input_width"] = width;
      params["input_height"] = 256;
      params["input_channels"] = 1;
      params["filters"] = 1;
      m.add(T::InputConvolutional, params, "hrc");
      if (width == 262144) {
        ASSERT_EQ(m.map(), "");
        EXPECT_EQ(output_memory_required(ProgramInfo(m.sequence(0)->program().data, m.sequence(0)->program().size)),
                  uint64_t{256} << 20);
      } else {
        EXPECT_EQ(m.map(), "Cannot map layer 'hrc'. Its output takes 268436480 bytes per frame; a device holds at "
                           "most 268435456 bytes for one output.");
        EXPECT_TRUE(m.model->sequences().empty());
      }
    }
  }
}

// input 16 x 16 x 4 -> separable (3x3, 8 filters, max pooling 2x2) -> conv (8 filters) ->
// dense: the pooled plane is 8 x 8.
TEST(V1EndToEnd, SeparableConvolutionWithMaxPoolingMaps) {
  for (const V1Device& d : {kDevices[0], kDevices[2]}) {
    SCOPED_TRACE(d.what);
    V1RealModel m(d.version, v1_nps(4, d.fnp), false);
    m.add_input(16, 16, 4, 4);
    const auto sep = m.add(T::SeparableConvolutional, conv_params(8, kMaxPool2x2), "sep");
    const auto conv = m.add(T::Convolutional, conv_params(8), "conv");
    const auto dense = m.add(T::FullyConnected, dense_params(4), "dense");
    ASSERT_EQ(m.map(), "");
    ASSERT_EQ(m.model->sequences().size(), 1u);
    const auto sequence = m.sequence(0);
    ASSERT_EQ(sequence->passes().size(), 1u);
    EXPECT_EQ(layer_names(*sequence->passes()[0]), (std::vector<std::string>{"sep", "conv", "dense"}));
    EXPECT_EQ(conv->input_dimensions()[0], (Shape{8, 8, 8}));
    for (const auto& layer : {sep, conv, dense}) expect_memory_figures_filled(*layer);

    // The separable NP gets its registers, depthwise and pointwise weights and thresholds.
    const ornix::test::Blob blob = m.read_program(*sequence);
    const auto* records = blob.info->pass_spans()->Get(0)->records();
    ASSERT_EQ(records->size(), 4u);
    std::vector<uint32_t> targets;
    for (const auto* track : *records->Get(1)->tracks()) {
      for (const auto& block : v2::test::dma_blocks(blob.words_at(track))) targets.push_back(block.target);
    }
    EXPECT_EQ(targets, (std::vector<uint32_t>{7, 0, 0, 4}));
    // Register word 3 bit 2 marks the separable form; word 27 bit 8 the pooling.
    const auto regs = v2::test::dma_blocks(blob.words_at(records->Get(1)->tracks()->Get(0))).at(0).words;
    EXPECT_EQ(regs[3] >> 2 & 1, 1u);
    EXPECT_EQ(regs[27] >> 8 & 1, 1u);
    EXPECT_EQ(m.run()->shape(), (Shape{2, 1, 1, 4}));
  }
}

// On a mesh of two CNPs and an FNP3, input 8 x 8 x 4 -> conv_a -> conv_b -> conv_c -> dense:
// conv_c finds both CNPs taken, and may not take conv_b's, whose output it reads. The A1 maps
// the whole model as one sequence of two passes; product 0x00 cuts it into two sequences of one
// pass.
TEST(V1EndToEnd, ModelTooLargeForOnePassTakesPassesOnA1AndSequencesOnProduct0) {
  using Names = std::vector<std::string>;
  struct Case {
    HwVersion version;
    std::vector<std::vector<Names>> sequences;  // per sequence, per pass, its layers
  };
  const std::vector<Case> cases{
      {kA1Device, {{Names{"conv_a", "conv_b"}, Names{"conv_c", "dense"}}}},
      {kVamoV2Device, {{Names{"conv_a", "conv_b"}}, {Names{"conv_c", "dense"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version.to_string());
    V1RealModel m(c.version, v1_nps(2, hw::Type::FNP3), false);
    m.add_input(8, 8, 4, 4);
    const auto conv_a = m.add(T::Convolutional, conv_params(8), "conv_a");
    const auto conv_b = m.add(T::Convolutional, conv_params(8), "conv_b");
    const auto conv_c = m.add(T::Convolutional, conv_params(8), "conv_c");
    const auto dense = m.add(T::FullyConnected, dense_params(4), "dense");
    ASSERT_EQ(m.map(), "");
    ASSERT_EQ(m.model->sequences().size(), c.sequences.size());
    for (size_t s = 0; s < c.sequences.size(); ++s) {
      const auto sequence = m.sequence(s);
      ASSERT_EQ(sequence->passes().size(), c.sequences[s].size()) << "sequence " << s;
      for (size_t p = 0; p < c.sequences[s].size(); ++p) {
        EXPECT_EQ(layer_names(*sequence->passes()[p]), c.sequences[s][p]) << "sequence " << s << ", pass " << p;
      }
      m.read_program(*sequence);
    }
    EXPECT_EQ(components_of(*conv_c)[0].ident, components_of(*conv_a)[0].ident);
    for (const auto& layer : {conv_a, conv_b, conv_c, dense}) expect_memory_figures_filled(*layer);
    EXPECT_EQ(m.run()->shape(), (Shape{2, 1, 1, 4}));
  }
}

// input 32 x 32 x 8 at 1 bit -> dense of 256 units, 1-bit weights: its image is (8192 / 32 + 4)
// x 256 = 66560 words, beyond the 16-bit register field that carries an FNP3 image's size,
// though within the FNP3 budget of a mesh given ten times the hardware's SRAM (107520 words).
// It goes to an FNP2, or is refused without one.
TEST(V1EndToEnd, FnpImageBeyondTheFnp3RegisterFieldGoesToAnFnp2) {
  const SramSize ten_times{SramSize_v1.input_bytes * 10, SramSize_v1.weight_bytes * 10};
  struct Case {
    std::vector<np::Info> nps;
    std::string error;
  };
  std::vector<np::Info> both = v1_nps(1, hw::Type::FNP3);
  both.push_back({{4, 1, 0, 0}, {hw::Type::FNP2}, false});
  const std::vector<Case> cases{
      {v1_nps(1, hw::Type::FNP3), "Cannot map layer 'dense'. No hardware component is available."},
      {both, ""},
  };
  for (const Case& c : cases) {
    V1RealModel m(kA1Device, c.nps, false, ten_times);
    m.add_input(32, 32, 8, 1);
    const auto dense = m.add(T::FullyConnected, dense_params(256, 1), "dense");
    EXPECT_EQ(m.map(), c.error);
    if (c.error.empty()) {
      EXPECT_EQ(types_of(*dense), std::vector<hw::Type>{hw::Type::FNP2});
      EXPECT_EQ(components_of(*dense)[0].mem_info.external_size, 66560u * 4);
    }
  }
}

// input 8 x 8 x 1 at 1 bit -> dense of 10 units, 1-bit weights, learning 2 weights a neuron:
// the program's learning table holds its two register programs and its memory image, in the
// NP (FNP3) or in the filters track (FNP2); a fit on the device brings what it learned back.
TEST(V1EndToEnd, LearningDenseLayerMapsSerializesAndLearnsOnFnp3AndFnp2) {
  for (const V1Device& d : kDevices) {
    SCOPED_TRACE(d.what);
    V1RealModel m(d.version, v1_nps(4, d.fnp), false);
    m.add_input(8, 8, 1, 1);
    const auto dense = m.add(T::FullyConnected, dense_params(10, 1), "dense");
    std::vector<int8_t> weights(10 * 64, 0);
    for (uint32_t n = 0; n < 10; ++n) weights[n * 64 + n] = weights[n * 64 + 63 - n] = 1;
    auto tensor = Dense::create(TensorType::bit, Shape{10, 64}, Layout::Reversed);
    for (uint32_t k = 0; k < weights.size(); ++k) {
      tensor->data<int8_t>()[tensor->offset_of({k / 64, k % 64})] = weights[k];
    }
    dense->variables().set("weights", tensor);
    m.model->compile(LearningParams::create(LearningType::Unsupervised,
                                            {{"num_weights", 2}, {"num_classes", 2}, {"initial_plasticity", 0.5},
                                             {"learning_competition", 0.5}, {"min_plasticity", 0.25},
                                             {"plasticity_decay", 0.5}}));
    ASSERT_EQ(m.map(), "");
    ASSERT_EQ(m.model->sequences().size(), 1u);
    EXPECT_EQ(types_of(*dense), std::vector<hw::Type>{d.fnp});
    expect_memory_figures_filled(*dense);

    const ornix::test::Blob blob = m.read_program(*m.sequence(0));
    const fb::LearningLayerInfo* learning = blob.info->learning_layer();
    ASSERT_NE(learning, nullptr);
    // 10 neuron blocks of (ceil(64 / 32) + 4) words.
    const fb::RecordSpans* image = learning->record2();
    if (d.fnp == hw::Type::FNP2) {
      ASSERT_TRUE(image->tracks() == nullptr && image->filters() != nullptr);
      EXPECT_EQ(image->filters()->word_count(), 60u);
    } else {
      ASSERT_TRUE(image->tracks() != nullptr && image->filters() == nullptr);
      EXPECT_EQ(v2::test::dma_blocks(blob.words_at(image->tracks()->Get(0))).at(0).words.size(), 60u);
    }
    EXPECT_EQ(blob.data->learning()->count(), 60u);

    // After a fit the learned memory comes back into the variables: neuron n connected to inputs
    // n and 63, its learning threshold 0x10000 + n and its swap value 100 + n. An FNP3's memory
    // opens with two words outside the image.
    std::vector<uint32_t> learned(60, 0);
    for (uint32_t n = 0; n < 10; ++n) {
      learned[n * 6 + 2] = 0x10000;
      learned[n * 6 + 3] = n << 16 | (100 + n);
      learned[n * 6 + 4] = 1u << n;
      learned[n * 6 + 5] = 0x80000000;
    }
    if (d.fnp == hw::Type::FNP3) learned.insert(learned.begin(), {0xFFFFFFFF, 0xFFFFFFFF});
    m.driver.set_learn_mem(learned);
    m.model->fit(Dense::create(TensorType::uint8, Shape{2, 8, 8, 1}), {1}, 0);
    const Variables& variables = dense->variables();
    const auto learned_weights = variables.get("weights");
    for (uint32_t n = 0; n < 10; ++n) {
      for (uint32_t i = 0; i < 64; ++i) {
        EXPECT_EQ(learned_weights->at<int8_t>({n, i}), i == n || i == 63 ? 1 : 0) << n << ", " << i;
      }
      EXPECT_EQ(variables.get("threshold_learning")->at<int32_t>({n}), static_cast<int32_t>(0x10000 + n));
      EXPECT_EQ(variables.get("thswap")->at<int32_t>({n}), static_cast<int32_t>(100 + n));
    }
  }
}

}  // namespace
}  // namespace ornix::v1::test
