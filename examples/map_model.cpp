// Maps a small model (convolutions with a skip connection, a depthwise convolution with global
// pooling and a dense layer) onto a virtual IP v2 device (a mesh
// description, no hardware behind it) and prints what the mapping made: the sequences and
// passes, each layer's components with their memory figures, and the device program.
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "hardware/hw_type.h"
#include "hardware/mesh.h"
#include "mapping/hardware_backend_registration.h"
#include "mapping/layer_mapping.h"
#include "ornix/layer_params.h"
#include "ornix/model.h"
#include "ornix/program_info.h"

using namespace ornix;

namespace {

// A device known only by its version and mesh.
class VirtualDevice final : public Device {
 public:
  VirtualDevice(HwVersion version, Mesh mesh) : version_(version), mesh_(std::move(mesh)) {}
  HwVersion version() const override { return version_; }
  std::string desc() const override { return "a virtual IP v2 device"; }
  const Mesh* mesh() const override { return &mesh_; }
  HardwareDevice* hardware() const override { return nullptr; }

 private:
  HwVersion version_;
  Mesh mesh_;
};

// Four columns of four CNPs, an FNP3, the DMA in column 1, one skip-DMA engine of four channels.
std::shared_ptr<Device> virtual_v2_device() {
  std::vector<np::Info> nps;
  for (uint8_t col = 2; col <= 5; ++col) {
    for (uint8_t id = 0; id < 4; ++id) nps.push_back({{col, 1, id, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false});
  }
  nps.push_back({{6, 2, 0, 0}, {hw::Type::FNP3}, false});
  std::vector<np::Info> skip_dmas{{{6, 1, 0, 4}, {hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD}, false}};
  return std::make_shared<VirtualDevice>(
      HwVersion{0xD3, 0xA2, 0x01, 0x00},
      Mesh(IpVersion::v2, {1, 1, 0, 0}, {1, 1, 1, 0}, std::nullopt, std::move(nps), std::move(skip_dmas)));
}

std::shared_ptr<Layer> add(Model& model, LayerType type, const LayerParams::Values& values, const std::string& name,
                           const std::vector<std::shared_ptr<Layer>>& inbounds = {}) {
  const auto params = LayerParams::create(type, values);
  auto layer = Layer::create(params.get(), name);
  model.add(layer, inbounds);
  return layer;
}

LayerParams::Values conv(int32_t filters) {
  return {{"kernel_size", 3}, {"kernel_stride", 1}, {"filters", filters}, {"padding", 1},
          {"activation", 1},  {"pool_type", 0},     {"weights_bits", 8},  {"output_bits", 8}};
}

std::string dims(const std::vector<uint32_t>& values) {
  std::string text;
  for (const uint32_t value : values) text += (text.empty() ? "" : "x") + std::to_string(value);
  return text;
}

std::string ident(const hw::Ident& id) {
  return "(" + std::to_string(id.col) + "," + std::to_string(id.row) + "," + std::to_string(id.id) + ")";
}

}  // namespace

int main() {
  register_hardware_backend();

  auto model = Model::create();
  add(*model, LayerType::InputData, {{"input_width", 8}, {"input_height", 8}, {"input_channels", 8}}, "input");
  const auto conv_a = add(*model, LayerType::Conv2D, conv(16), "conv_a");
  const auto conv_b = add(*model, LayerType::Conv2D, conv(16), "conv_b");
  add(*model, LayerType::Add, {}, "add", {conv_a, conv_b});
  add(*model, LayerType::Conv2D, conv(32), "conv_c");
  add(*model, LayerType::DepthwiseConv2D,
      {{"kernel_size", 3}, {"kernel_stride", 1}, {"padding", 1}, {"activation", 1}, {"pool_type", 2},
       {"pool_size", -1}, {"pool_stride", 1}, {"weights_bits", 8}, {"output_bits", 8}},
      "depthwise");
  add(*model, LayerType::Dense1D, {{"units", 10}, {"weights_bits", 8}, {"activation", 1}, {"output_bits", 8}},
      "dense");

  const auto device = virtual_v2_device();
  model->map(device, true, nullptr);
  std::cout << "Mapped " << model->layer_count() << " layers onto " << device->desc() << "\n";

  for (const auto& sequence : model->sequences()) {
    std::cout << "\nSequence " << sequence->name() << ": " << sequence->passes().size() << " pass(es)\n";
    for (const auto& pass : sequence->passes()) {
      for (const auto& layer : pass->layers) {
        std::cout << "  " << layer->name() << "\n";
        const std::shared_ptr<const LayerMapping> mapping = layer_mapping_of(*layer);
        std::vector<const hw::Component*> components;
        for (const hw::Component& component : *mapping->nps) components.push_back(&component);
        for (const hw::Component* skip : {mapping->skipdma_store(), mapping->skipdma_load()}) {
          if (skip) components.push_back(skip);
        }
        for (const hw::Component* component : components) {
          std::cout << "    " << hw::to_string(component->type) << " " << ident(component->ident) << "  input "
                    << component->mem_info.input_size << " B, weights " << component->mem_info.weight_size
                    << " B, external " << component->mem_info.external_size << " B\n";
        }
      }
    }
    const Sequence::Bytes program = sequence->program();
    const Sequence::ProgramParts parts = sequence->program_parts();
    const ProgramInfo info(program.data, program.size);
    std::cout << "  program: " << program.size << " bytes (info " << parts.program_info.size << ", data "
              << parts.program_data.size << "), input " << dims(info.input_shape()) << ", output "
              << dims(info.output_shape()) << "\n"
              << "  device memory: input " << input_memory_required(info) << " B, output "
              << output_memory_required(info) << " B, program data " << program_data_memory_required(info)
              << " B, descriptors " << program_descriptors_memory_required(info) << " B\n";
  }
  return 0;
}
