// Times saving (Model::to_buffer) and loading (Model::from_buffer) of a model holding about one
// million weights: a 1024-input FullyConnected layer of 1024 units after a 32x32x1 input.
// Prints MB/s of the saved buffer for each direction (median of a few runs) beside the MB/s of
// a plain memcpy of the same size: both directions copy each byte a few times at most, so they
// should stay within a small factor of memcpy, not of a per-element loop.
//
// Build and run (not part of the tests):
//   cmake -S . -B build-bench -G Ninja -DORNIX_PYTHON=OFF -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench --target model_io_bench && build-bench/bench/model_io_bench

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "ornix/model.h"

namespace {

using namespace ornix;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 15;

std::unique_ptr<Model> million_weight_model() {
  auto model = Model::create();
  const auto input = LayerParams::create(LayerType::InputData,
                                         {{"input_width", 32}, {"input_height", 32}, {"input_channels", 1}});
  model->add(Layer::create(input.get(), "input"));
  const auto dense = LayerParams::create(LayerType::FullyConnected, {{"units", 1024}, {"weights_bits", 4}});
  const auto layer = Layer::create(dense.get(), "dense");
  model->add(layer);
  auto weights = Dense::create(TensorType::int4, layer->variables().get("weights")->shape(), Layout::Reversed);
  for (size_t i = 0; i < weights->size(); ++i) weights->data<int8_t>()[i] = static_cast<int8_t>(i % 15) - 7;
  layer->variables().set("weights", weights);
  return model;
}

template <typename Action>
double median_seconds(Action&& action) {
  std::vector<double> seconds;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    action();
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::nth_element(seconds.begin(), seconds.begin() + kRuns / 2, seconds.end());
  return seconds[kRuns / 2];
}

double megabytes_per_second(size_t bytes, double seconds) { return static_cast<double>(bytes) / seconds / 1e6; }

}  // namespace

int main() {
  const auto model = million_weight_model();
  std::vector<uint8_t> saved;
  const double save = median_seconds([&] { saved = model->to_buffer(); });
  std::unique_ptr<Model> loaded;
  const double load = median_seconds([&] { loaded = Model::from_buffer(saved.data(), saved.size()); });
  if (loaded->to_buffer() != saved) {
    std::fprintf(stderr, "the loaded model saves differently\n");
    return 1;
  }
  std::vector<uint8_t> copy(saved.size());
  const double memcpy_time = median_seconds([&] {
    std::memcpy(copy.data(), saved.data(), saved.size());
    asm volatile("" : : "r"(copy.data()) : "memory");  // keeps the copy from being optimised away
  });
  std::printf("model of %llu weights, saved in %zu bytes\n",
              static_cast<unsigned long long>(model->get_layer(1)->variables().get("weights")->size()), saved.size());
  std::printf("  save   %8.3f ms  %9.1f MB/s\n", save * 1e3, megabytes_per_second(saved.size(), save));
  std::printf("  load   %8.3f ms  %9.1f MB/s\n", load * 1e3, megabytes_per_second(saved.size(), load));
  std::printf("  memcpy %8.3f ms  %9.1f MB/s\n", memcpy_time * 1e3, megabytes_per_second(saved.size(), memcpy_time));
  return 0;
}
