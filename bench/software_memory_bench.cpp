// Peak memory of the software forward of a Dense1D model holding about 400 MB of int8 weights,
// as a ratio to the model's own size (the bytes of its variables). Not a test: run it by hand,
// on Linux (it reads the process's resident and peak resident sizes from /proc/self/status and
// resets the peak through /proc/self/clear_refs).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "ornix/layer.h"
#include "ornix/model.h"

namespace {

using namespace ornix;

constexpr uint32_t kInputs = 20000, kUnits = 20000;  // 400,000,000 weights

// A field of /proc/self/status ("VmRSS", "VmHWM"), in bytes; 0 when absent.
uint64_t status_bytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    uint64_t kilobytes = 0;
    if (key == field + ":" && status >> kilobytes) return kilobytes * 1024;
    std::getline(status, key);
  }
  return 0;
}

// Starts a new peak at the current resident size.
bool reset_peak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  return static_cast<bool>(clear.flush());
}

std::shared_ptr<Layer> layer(LayerType type, const LayerParams::Values& values, const std::string& name) {
  const auto params = LayerParams::create(type, values);
  return Layer::create(params.get(), name);
}

uint64_t variable_bytes(const Model& model) {
  uint64_t bytes = 0;
  for (const auto& each : model.layers()) {
    for (const std::string& name : each->variables().names()) bytes += each->variables().get(name)->byte_size();
  }
  return bytes;
}

double megabytes(uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

}  // namespace

int main() {
  auto model = Model::create();
  model->add(layer(LayerType::InputData,
                   {{"input_width", 1}, {"input_height", 1}, {"input_channels", static_cast<int32_t>(kInputs)}},
                   "input"));
  const auto dense = layer(LayerType::Dense1D, {{"units", static_cast<int32_t>(kUnits)}, {"weights_bits", 8}}, "dense");
  model->add(dense);
  {
    auto weights = Dense::create(TensorType::int8, Shape{kInputs, kUnits});
    int8_t* values = weights->data<int8_t>();
    for (size_t i = 0; i < weights->size(); ++i) values[i] = static_cast<int8_t>(i % 7) - 3;
    dense->variables().set("weights", weights);
  }
  auto inputs = Dense::create(TensorType::uint8, Shape{1, 1, 1, kInputs});
  for (uint32_t i = 0; i < kInputs; ++i) inputs->data<uint8_t>()[i] = static_cast<uint8_t>(i % 200);

  const uint64_t model_bytes = variable_bytes(*model);
  if (!reset_peak()) {
    std::fprintf(stderr, "cannot reset the peak resident size (/proc/self/clear_refs)\n");
    return 1;
  }
  const uint64_t before = status_bytes("VmRSS");
  model->forward(inputs, 1);
  const uint64_t peak = status_bytes("VmHWM");

  std::printf("software forward of one sample, Dense1D %u x %u int8 weights\n", kInputs, kUnits);
  std::printf("  model (its variables):        %8.1f MB\n", megabytes(model_bytes));
  std::printf("  resident before the forward:  %8.1f MB\n", megabytes(before));
  std::printf("  peak during the forward:      %8.1f MB\n", megabytes(peak));
  std::printf("  working memory / model:       %8.2f\n",
              static_cast<double>(peak - before) / static_cast<double>(model_bytes));
  std::printf("  peak / model:                 %8.2f\n", static_cast<double>(peak) / static_cast<double>(model_bytes));
  return 0;
}
