// Times mapping and program serialization of Conv2D models on a virtual IP v2 device with the
// built-in back end: chains of 8, 32, 64, 128 and 512 layers, one of 64 layers with an Add skip
// connection every eight layers (the model-wide DMA channel numbers allow about fifteen), one
// layer too large for any NP, and one 256x256x3 layer of 16 filters under the smallest CNP limits
// (a million one-pixel pieces for a mesh of 128 CNPs); both must be refused fast. Prints
// milliseconds per model and microseconds per layer (median of a few runs); the cost per layer
// should stay flat as chains grow, and the 512-layer chain's ratio to the 64-layer chain's is
// printed last.
//
// Build and run (not part of the tests):
//   cmake -S . -B build-bench -G Ninja -DORNIX_PYTHON=OFF -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench --target conv2d_mapping_bench && build-bench/bench/conv2d_mapping_bench

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hardware/mesh.h"
#include "mapping/hardware_backend_registration.h"
#include "mapping/map_constraints.h"
#include "ornix/device.h"
#include "ornix/model.h"

namespace {

using namespace ornix;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;

// A device without hardware: 8 columns x 4 rows x 4 CNPs, the DMA and a skip-DMA engine in
// column 1.
class VirtualV2Device final : public Device {
 public:
  VirtualV2Device() : mesh_(IpVersion::v2, {1, 1, 0, 0}, {1, 1, 1, 0}, std::nullopt, cnps(), skip_dmas()) {}
  HwVersion version() const override { return {0xD3, 0xA2, 0x01, 0x00}; }
  std::string desc() const override { return "virtual v2 mesh"; }
  const Mesh* mesh() const override { return &mesh_; }
  HardwareDevice* hardware() const override { return nullptr; }

 private:
  static std::vector<np::Info> cnps() {
    std::vector<np::Info> nps;
    for (uint8_t col = 2; col <= 9; ++col) {
      for (uint8_t row = 1; row <= 4; ++row) {
        for (uint8_t id = 0; id < 4; ++id) nps.push_back({{col, row, id, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false});
      }
    }
    return nps;
  }
  static std::vector<np::Info> skip_dmas() {
    return {{{1, 2, 0, 16}, {hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD}, false}};
  }
  Mesh mesh_;
};

std::shared_ptr<Layer> layer(LayerType type, const LayerParams::Values& values, const std::string& name) {
  const auto params = LayerParams::create(type, values);
  return Layer::create(params.get(), name);
}

std::shared_ptr<Layer> conv(int32_t filters, const std::string& name) {
  return layer(LayerType::Conv2D,
               {{"kernel_size", 3}, {"kernel_stride", 1}, {"filters", filters}, {"padding", 1}, {"activation", 1},
                {"pool_type", 0}, {"weights_bits", 8}, {"output_bits", 8}},
               name);
}

// 32x32x16 input, then `layers` 3x3 convolutions of 16 filters; with `skips`, every eighth
// convolution but the last is followed by an Add of its output and its input.
std::unique_ptr<Model> conv_chain(int layers, bool skips, uint32_t size = 32) {
  auto model = Model::create();
  model->add(layer(LayerType::InputData, {{"input_width", static_cast<int32_t>(size)},
                                          {"input_height", static_cast<int32_t>(size)}, {"input_channels", 16}},
                   "input"));
  std::vector<std::shared_ptr<Layer>> chain{model->get_layer(0)};
  for (int i = 0; i < layers; ++i) {
    const auto next = conv(16, "conv" + std::to_string(i));
    model->add(next, {chain.back()});
    chain.push_back(next);
    if (skips && i % 8 == 7 && i + 1 < layers) {
      const auto add = layer(LayerType::Add, {}, "add" + std::to_string(i));
      model->add(add, {chain[chain.size() - 2], chain.back()});
      chain.push_back(add);
    }
  }
  return model;
}

// Median milliseconds of mapping (and serializing) a fresh model made by `make`; the error text
// instead when mapping fails.
template <typename Make>
double median_ms(const std::shared_ptr<Device>& device, Make make, std::string* error,
                 const std::shared_ptr<MapConstraints>& constraints = nullptr) {
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    auto model = make();
    const auto start = Clock::now();
    try {
      model->map(device, true, constraints);
      for (const auto& sequence : model->sequences()) sequence->program();
    } catch (const std::exception& failure) {
      *error = failure.what();
    }
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[kRuns / 2];
}

}  // namespace

int main() {
  register_hardware_backend();
  const auto device = std::make_shared<VirtualV2Device>();
  std::printf("%-28s %10s %12s %s\n", "model", "ms", "us/layer", "result");
  const std::pair<int, bool> models[] = {{8, false}, {32, false}, {64, false}, {128, false}, {512, false}, {64, true}};
  double us_per_layer_64 = 0;
  double us_per_layer_512 = 0;
  for (const auto& [layers, skips] : models) {
    std::string error;
    const double ms = median_ms(device, [&] { return conv_chain(layers, skips); }, &error);
    const std::string name = std::to_string(layers) + " Conv2D" + (skips ? " + Add every 8" : "");
    const double us_per_layer = ms * 1e3 / layers;
    std::printf("%-28s %10.2f %12.2f %s\n", name.c_str(), ms, us_per_layer, error.empty() ? "mapped" : error.c_str());
    if (!skips && layers == 64) us_per_layer_64 = us_per_layer;
    if (!skips && layers == 512) us_per_layer_512 = us_per_layer;
  }
  std::printf("%-28s %10s %12.2f\n", "per layer, 512 / 64", "", us_per_layer_512 / us_per_layer_64);
  std::string error;
  const double ms = median_ms(device, [] { return conv_chain(1, false, 4096); }, &error);
  std::printf("%-28s %10.2f %12s %s\n", "one 4096x4096 Conv2D", ms, "-", error.empty() ? "mapped" : error.c_str());

  const auto smallest = std::make_shared<MapConstraints>(device);
  smallest->set_cnp_max_width(1);
  smallest->set_cnp_max_height(1);
  smallest->set_cnp_max_filters(1);
  const auto rgb = [] {
    auto model = Model::create();
    model->add(
        layer(LayerType::InputData, {{"input_width", 256}, {"input_height", 256}, {"input_channels", 3}}, "input"));
    model->add(conv(16, "conv"));
    return model;
  };
  error.clear();
  const double smallest_ms = median_ms(device, rgb, &error, smallest);
  std::printf("%-28s %10.3f %12s %s\n", "256x256x3 Conv2D, limits 1", smallest_ms, "-",
              error.empty() ? "mapped" : error.c_str());
  return 0;
}
