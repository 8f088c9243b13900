// Times program generation where the weights are many: MobileNet-v1-like models (a 3x3 stride-2
// Conv2D of 32 filters, 13 pairs of 3x3 DepthwiseConv2D and 1x1 Conv2D up to 1024 filters with
// global average pooling on the last, then a Dense1D of 1000 units; 4-bit weights and outputs)
// mapped and serialized on a virtual IP v2 device of 8 x 4 nodes with 4 CNPs each and one NP that serves as FNP2 or FNP3.
// Prints milliseconds per model (median of a few runs), program bytes, and per program byte: the
// bytes written on the way to the program (packed or copied into tracks, formatted into the
// payloads that records copy, and the finished buffers; counted by the program code) and the
// bytes the mapping allocated, heap and program memory together (a bound: every buffer a
// program byte is written into is allocated for it, beside the mapping's own data), then the
// weight packers' throughput (both generations' CNP packers and FNP images) in MB/s of packed
// words beside a memcpy of the same bytes, measured in the same run: the ratio is the figure
// that holds across machines.
//
// Build and run (not part of the tests):
//   cmake -S . -B build-bench -G Ninja -DORNIX_PYTHON=OFF -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench --target mobilenet_mapping_bench && build-bench/bench/mobilenet_mapping_bench

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "backend/v1/cnp_weight_format.h"
#include "backend/v1/fnp_ram_format.h"
#include "backend/v2/cnp_weight_format.h"
#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/fnp_payloads.h"
#include "hardware/mesh.h"
#include "mapping/hardware_backend_registration.h"
#include "ornix/device.h"
#include "ornix/model.h"
#include "program/page_blocks.h"

// Heap bytes allocated so far by the whole program (operator new below).
size_t g_allocated_bytes = 0;

namespace {

using namespace ornix;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;

class VirtualV2Device final : public Device {
 public:
  VirtualV2Device() : mesh_(IpVersion::v2, {1, 1, 0, 0}, {1, 1, 1, 0}, std::nullopt, nps(), {}) {}
  HwVersion version() const override { return {0xD3, 0xA2, 0x01, 0x00}; }
  std::string desc() const override { return "virtual v2 mesh"; }
  const Mesh* mesh() const override { return &mesh_; }
  HardwareDevice* hardware() const override { return nullptr; }

 private:
  static std::vector<np::Info> nps() {
    std::vector<np::Info> nps;
    for (uint8_t col = 2; col <= 9; ++col) {
      for (uint8_t row = 1; row <= 4; ++row) {
        for (uint8_t id = 0; id < 4; ++id) nps.push_back({{col, row, id, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false});
      }
    }
    nps.push_back({{10, 1, 0, 0}, {hw::Type::FNP2, hw::Type::FNP3}, false});
    return nps;
  }
  Mesh mesh_;
};

std::shared_ptr<Layer> layer(LayerType type, const LayerParams::Values& values, const std::string& name) {
  const auto params = LayerParams::create(type, values);
  return Layer::create(params.get(), name);
}

LayerParams::Values conv_values(int32_t kernel, int32_t stride, bool global_pool) {
  LayerParams::Values values{{"kernel_size", kernel}, {"kernel_stride", stride}, {"padding", 1},
                             {"activation", 1},       {"weights_bits", 4},       {"output_bits", 4},
                             {"pool_type", 0}};
  if (global_pool) {
    values["pool_type"] = 2;
    values["pool_size"] = -1;
  }
  return values;
}

// Input size x size x 3; filters of the pointwise layers are multiplied by `width` / 4.
std::unique_ptr<Model> mobilenet(int32_t size, int32_t width) {
  auto model = Model::create();
  model->add(layer(LayerType::InputData, {{"input_width", size}, {"input_height", size}, {"input_channels", 3}},
                   "input"));
  auto first = conv_values(3, 2, false);
  first["filters"] = 32 * width / 4;
  model->add(layer(LayerType::Conv2D, first, "conv0"));
  const struct {
    int32_t stride, filters;
  } pairs[] = {{1, 64},  {2, 128}, {1, 128}, {2, 256}, {1, 256}, {2, 512}, {1, 512},
               {1, 512}, {1, 512}, {1, 512}, {1, 512}, {2, 1024}, {1, 1024}};
  int index = 0;
  for (const auto& pair : pairs) {
    ++index;
    const bool last = index == static_cast<int>(std::size(pairs));
    model->add(layer(LayerType::DepthwiseConv2D, conv_values(3, pair.stride, false), "dw" + std::to_string(index)));
    auto pointwise = conv_values(1, 1, last);
    pointwise["filters"] = pair.filters * width / 4;
    model->add(layer(LayerType::Conv2D, pointwise, "pw" + std::to_string(index)));
  }
  model->add(layer(LayerType::Dense1D, {{"units", 1000}, {"weights_bits", 4}, {"output_bits", 4}, {"activation", 1}}, "dense"));
  return model;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void time_model(const std::shared_ptr<Device>& device, int32_t size, int32_t width) {
  std::vector<double> times;
  size_t bytes = 0;
  size_t allocated = 0;
  size_t written = 0;
  std::string error;
  for (int run = 0; run < kRuns; ++run) {
    auto model = mobilenet(size, width);
    const size_t allocated_before = g_allocated_bytes + program::program_memory_bytes();
    const size_t written_before = program::program_bytes_written();
    const auto start = Clock::now();
    try {
      model->map(device, true, nullptr);
      bytes = 0;
      for (const auto& sequence : model->sequences()) bytes += sequence->program().size;
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    times.push_back(ms_since(start));
    allocated = g_allocated_bytes + program::program_memory_bytes() - allocated_before;
    written = program::program_bytes_written() - written_before;
  }
  const std::string name = "MobileNet " + std::to_string(size) + " x" + std::to_string(width / 4.0).substr(0, 4);
  const auto per_byte = [&](size_t n) { return bytes == 0 ? 0.0 : static_cast<double>(n) / bytes; };
  std::printf("%-24s %10.2f %12zu %14.2f %12.2f %s\n", name.c_str(), median(times), bytes, per_byte(written),
              per_byte(allocated), error.empty() ? "mapped" : error.c_str());
}

std::shared_ptr<Dense> random_tensor(const Shape& shape, int lo, int hi, Layout layout = Layout::RowMajor) {
  auto weights = Dense::create(TensorType::int8, shape, layout);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> value(lo, hi);
  auto* data = weights->data<int8_t>();
  for (size_t i = 0; i < weights->size(); ++i) data[i] = static_cast<int8_t>(value(random));
  return weights;
}

std::shared_ptr<Dense> random_weights(uint32_t kernel, uint32_t channels, uint32_t filters, int lo, int hi) {
  return random_tensor(Shape{kernel, kernel, channels, filters}, lo, hi);
}

// A Dense1D of 1000 units over 1 x 1 x 1024 values of `bits` bits with random `bits`-bit weights,
// in the layout models hold (neurons side by side): fed by the model's input it reads a packed
// vector; fed by a 1x1 Conv2D its input is row-aligned (with 4-bit values, one empty slot after
// each value). The model owns the layer.
struct DenseImage {
  std::unique_ptr<Model> model = Model::create();
  std::shared_ptr<Layer> dense;
  v2::InputPadding padding = v2::InputPadding::Unfit;
  bool flat = true;
};

DenseImage dense_image(int32_t bits, bool after_conv) {
  DenseImage image;
  image.model->add(layer(LayerType::InputData,
                         {{"input_width", 1}, {"input_height", 1}, {"input_channels", 1024}, {"input_bits", bits}},
                         "input"));
  if (after_conv) {
    image.model->add(layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 1024}, {"output_bits", bits}}, "conv"));
  }
  image.dense = layer(LayerType::Dense1D, {{"units", 1000}, {"weights_bits", bits}, {"output_bits", 4}}, "dense");
  image.model->add(image.dense);
  const int lowest = -(1 << (bits - 1));
  image.dense->variables().set("weights", random_tensor(Shape{1024, 1000}, lowest, -lowest - 1));
  image.flat = !after_conv;
  image.padding = v2::get_fnp_supported_padding(*image.dense, image.flat);
  return image;
}

// MB/s of packed words of `pack`, and of a memcpy of as many bytes into a buffer already
// touched (as the packer's output vector is). Each figure is the median of a few runs of about
// 16 MB of output each.
void time_packer(const char* name, const std::function<std::vector<uint32_t>()>& pack) {
  const size_t bytes = pack().size() * sizeof(uint32_t);
  const size_t repeats = std::max<size_t>(1, (size_t{16} << 20) / bytes);
  std::vector<uint8_t> copy(bytes, 1);
  std::vector<double> pack_ms, copy_ms;
  for (int run = 0; run < kRuns; ++run) {
    auto start = Clock::now();
    for (size_t i = 0; i < repeats; ++i) {
      const auto words = pack();
      copy[i % bytes] ^= static_cast<uint8_t>(words[i % words.size()]);  // keeps the result
    }
    pack_ms.push_back(ms_since(start) / repeats);
    start = Clock::now();
    for (size_t i = 0; i < repeats; ++i) {
      std::memcpy(copy.data(), copy.data() + bytes / 2, bytes / 2);
      std::memcpy(copy.data() + bytes / 2, copy.data(), bytes - bytes / 2);
    }
    copy_ms.push_back(ms_since(start) / repeats);
  }
  const double pack_rate = bytes / 1e3 / median(pack_ms);
  const double copy_rate = bytes / 1e3 / median(copy_ms);
  std::printf("%-34s %10zu %12.0f %12.0f %8.3f\n", name, bytes, pack_rate, copy_rate, pack_rate / copy_rate);
}

}  // namespace

void* operator new(size_t size) {
  g_allocated_bytes += size;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
// GCC takes the free below for one of memory from the operator new it replaces.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
#pragma GCC diagnostic pop
void operator delete(void* memory, size_t) noexcept { ::operator delete(memory); }

int main() {
  register_hardware_backend();
  const auto device = std::make_shared<VirtualV2Device>();
  std::printf("%-24s %10s %12s %14s %12s %s\n", "model", "ms", "bytes", "written/byte", "alloc/byte", "result");
  time_model(device, 96, 2);
  time_model(device, 160, 3);
  time_model(device, 224, 4);

  std::printf("\n%-34s %10s %12s %12s %8s\n", "packer", "bytes", "MB/s", "memcpy MB/s", "ratio");
  for (const uint32_t kernel : {1u, 3u, 5u, 7u}) {
    const auto w4 = random_weights(kernel, 256, 256, -8, 7);
    const auto w8 = random_weights(kernel, 256, 256, -128, 127);
    const auto dw4 = random_weights(kernel, 1, 4096, -8, 7);
    const auto dw8 = random_weights(kernel, 1, 4096, -128, 127);
    const std::string k = std::to_string(kernel) + "x" + std::to_string(kernel);
    time_packer(("Conv2D 4-bit " + k).c_str(), [&] { return v2::format_conv2d_cnp_weights(*w4, 0, 256, 4); });
    time_packer(("Conv2D 8-bit " + k).c_str(), [&] { return v2::format_conv2d_cnp_weights(*w8, 0, 256, 8); });
    if (kernel == 1) continue;
    time_packer(("DepthwiseConv2D 4-bit " + k).c_str(),
                [&] { return v2::format_depthwise_conv_cnp_weights(*dw4, 0, 4096, 4); });
    time_packer(("DepthwiseConv2D 8-bit " + k).c_str(),
                [&] { return v2::format_depthwise_conv_cnp_weights(*dw8, 0, 4096, 8); });
  }
  // Generation 1, in the layouts its layers keep: standard kernels (filter, channel, row, column)
  // and depthwise ones (1, channel, row, column) reversed, pointwise (channel, filter) row-major.
  for (const uint32_t kernel : {1u, 3u, 5u, 7u}) {
    const auto w2 = random_tensor(Shape{256, 256, kernel, kernel}, -1, 1, Layout::Reversed);
    const auto w4 = random_tensor(Shape{256, 256, kernel, kernel}, -7, 7, Layout::Reversed);
    const std::string k = std::to_string(kernel) + "x" + std::to_string(kernel);
    time_packer(("v1 CNP 2-bit " + k).c_str(), [&] { return v1::format_std_cnp_weights(w2, true, 0, 256); });
    if (kernel != 1) {
      time_packer(("v1 CNP 1-bit " + k).c_str(), [&] { return v1::format_std_cnp_weights(w2, false, 0, 256); });
    }
    time_packer(("v1 CNP 4-bit " + k).c_str(), [&] { return v1::format_4bits_std_cnp_weights(*w4, 0, 256); });
    if (kernel == 1) continue;
    const auto dw = random_tensor(Shape{1, 4096, kernel, kernel}, -8, 7, Layout::Reversed);
    time_packer(("v1 depthwise 4-bit " + k).c_str(), [&] { return v1::format_sep_cnp_dw_weights(*dw, 4); });
  }
  const auto pw = random_tensor(Shape{1024, 1024}, -8, 7);
  time_packer("v1 pointwise 4-bit", [&] { return v1::format_sep_cnp_pw_weights(*pw, 4, 0, 1024); });
  // Fully connected: 1000 neurons of 1024 inputs, (neuron, input) reversed as its layers keep them.
  const auto fc = random_tensor(Shape{1000, 1024}, -7, 7, Layout::Reversed);
  const auto zeros = Dense::create(TensorType::int32, Shape{1000});
  time_packer("v1 FNP image 4-bit", [&] { return v1::format_fnp_ram(*fc, *zeros, *zeros, 4, false); });
  // Generation 2: the same 1000 x 1024 weights as models hold them, on an FNP fed directly or by a CNP.
  for (const int32_t bits : {4, 8}) {
    for (const bool after_conv : {false, true}) {
      const DenseImage image = dense_image(bits, after_conv);
      const std::string name = "v2 FNP image " + std::to_string(bits) + "-bit" + (after_conv ? " after CNP" : "");
      const auto weights_bits = static_cast<uint8_t>(bits);
      time_packer(name.c_str(), [&] {
        return v2::format_fnp_ram(*image.dense, image.flat, image.padding, image.dense->input_bits(), weights_bits);
      });
    }
  }
  return 0;
}
