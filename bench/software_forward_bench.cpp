// Software forward of a 10-layer Conv2D model on 32x32x3 inputs (batch 16), in multiply-
// accumulates per second, against a plain int8 convolution loop nest over the same layers
// measured in the same run. Not a test: run it by hand.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "ornix/layer.h"
#include "ornix/model.h"

namespace {

using namespace ornix;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kSize = 32, kInputChannels = 3, kFilters = 32, kLayers = 10, kKernel = 3, kBatch = 16;

std::shared_ptr<Layer> layer(LayerType type, const LayerParams::Values& values, const std::string& name) {
  const auto params = LayerParams::create(type, values);
  return Layer::create(params.get(), name);
}

template <typename T>
std::shared_ptr<Dense> random_tensor(TensorType type, const Shape& shape, int low, int high, std::mt19937& rng) {
  std::uniform_int_distribution<int> pick(low, high);
  auto tensor = Dense::create(type, shape);
  for (size_t i = 0; i < tensor->size(); ++i) tensor->data<T>()[i] = static_cast<T>(pick(rng));
  return tensor;
}

// Same-padded 3x3 convolutions with ReLU to 8 bits; the output shift keeps values in range.
std::unique_ptr<Model> build_model(std::mt19937& rng, std::vector<std::shared_ptr<Dense>>& weights) {
  auto model = Model::create();
  model->add(layer(LayerType::InputData, {{"input_width", kSize}, {"input_height", kSize}, {"input_channels", kInputChannels}},
                   "input"));
  for (uint32_t i = 0; i < kLayers; ++i) {
    auto conv = layer(LayerType::Conv2D,
                      {{"kernel_size", kKernel}, {"filters", kFilters}, {"padding", 1}, {"activation", 1}, {"output_bits", 8}},
                      "conv" + std::to_string(i));
    model->add(conv);
    const uint32_t channels = i == 0 ? kInputChannels : kFilters;
    weights.push_back(random_tensor<int8_t>(TensorType::int8, {kKernel, kKernel, channels, kFilters}, -8, 7, rng));
    conv->variables().set("weights", weights.back());
    auto shift = Dense::create(TensorType::int8, Shape{kFilters});
    std::fill(shift->data<int8_t>(), shift->data<int8_t>() + kFilters, int8_t{-8});
    conv->variables().set("output_shift", shift);
  }
  return model;
}

// The plain loop nest: int8 activations, int8 weights (kx, ky, c, f), int32 sums, then the same
// shift and clip to 8 bits as the model.
void reference_layer(const std::vector<int8_t>& in, uint32_t channels, const Dense& w, std::vector<int8_t>& out) {
  const int8_t* weights = w.data<int8_t>();
  out.assign(size_t{kSize} * kSize * kFilters, 0);
  for (uint32_t x = 0; x < kSize; ++x) {
    for (uint32_t y = 0; y < kSize; ++y) {
      for (uint32_t f = 0; f < kFilters; ++f) {
        int32_t acc = 0;
        for (uint32_t kx = 0; kx < kKernel; ++kx) {
          const int ix = static_cast<int>(x + kx) - 1;
          if (ix < 0 || ix >= static_cast<int>(kSize)) continue;
          for (uint32_t ky = 0; ky < kKernel; ++ky) {
            const int iy = static_cast<int>(y + ky) - 1;
            if (iy < 0 || iy >= static_cast<int>(kSize)) continue;
            for (uint32_t c = 0; c < channels; ++c) {
              acc += in[(size_t(ix) * kSize + iy) * channels + c] * weights[((kx * kKernel + ky) * channels + c) * kFilters + f];
            }
          }
        }
        out[(size_t{x} * kSize + y) * kFilters + f] = static_cast<int8_t>(std::clamp((acc + 128) >> 8, 0, 127));
      }
    }
  }
}

template <typename Work>
double best_seconds(int repeats, Work work) {
  double best = 1e30;
  for (int r = 0; r < repeats; ++r) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  std::mt19937 rng(2024);
  std::vector<std::shared_ptr<Dense>> weights;
  const auto model = build_model(rng, weights);
  const auto inputs = random_tensor<uint8_t>(TensorType::uint8, {kBatch, kSize, kSize, kInputChannels}, 0, 127, rng);
  const double macs = static_cast<double>(model->macs()) * kBatch;

  const double ours = best_seconds(5, [&] { model->forward(inputs, kBatch); });

  std::vector<int8_t> a, b;
  const double plain = best_seconds(5, [&] {
    for (uint32_t s = 0; s < kBatch; ++s) {
      const uint8_t* sample = inputs->data<uint8_t>() + size_t{s} * kSize * kSize * kInputChannels;
      a.assign(sample, sample + size_t{kSize} * kSize * kInputChannels);
      for (uint32_t i = 0; i < kLayers; ++i) {
        reference_layer(a, i == 0 ? kInputChannels : kFilters, *weights[i], b);
        std::swap(a, b);
      }
    }
  });

  std::printf("software forward, 10 Conv2D layers, 32x32x3, batch %u: %.3f GMAC in %.1f ms\n", kBatch, macs / 1e9,
              ours * 1e3);
  std::printf("  software forward:      %.3f GMAC/s\n", macs / ours / 1e9);
  std::printf("  plain int8 loop nest:  %.3f GMAC/s (%.1f ms)\n", macs / plain / 1e9, plain * 1e3);
  std::printf("  ratio:                 %.2fx\n", plain / ours);
  return 0;
}
