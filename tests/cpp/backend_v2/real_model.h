#pragma once

// A model mapped by the built-in back end (real checker, sizer and recorders) onto a simulated
// IP v2 device, its programs read back with the engine's reader, and run on that device.

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/layer_fixtures.h"
#include "hardware/host_device.h"
#include "mapping/hardware_backend.h"
#include "mapping/hardware_backend_registration.h"
#include "mapping/layer_mapping.h"
#include "mapping/map_constraints.h"
#include "ornix/hardware_device.h"
#include "ornix/program_info.h"
#include "program/hardware_sequence.h"
#include "program/serializer_fixture.h"
#include "support/fake_mapping.h"
#include "support/simulated_driver.h"

namespace ornix::test {

// Four CNPs (ids 0 to 3) in row 1 of each column from `first` to `last`.
inline std::vector<np::Info> cnp_columns(uint8_t first, uint8_t last) {
  std::vector<np::Info> nps;
  for (uint8_t col = first; col <= last; ++col) {
    for (uint8_t id = 0; id < 4; ++id) nps.push_back({{col, 1, id, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false});
  }
  return nps;
}

// Runs two zero samples through a mapped model on the simulated device: every sequence
// programs the device once. The outputs, stacked.
inline std::shared_ptr<Dense> run_zero_samples(Model& model, SimulatedDriver& driver) {
  const Shape in = model.input_shape();
  driver.clear_log();
  const auto outputs = model.forward(Dense::create(TensorType::uint8, Shape{2, in[0], in[1], in[2]}), 0);
  EXPECT_EQ(driver.program_count(), model.sequences().size());
  return outputs;
}

class RealModel {
 public:
  // A model of one InputData layer of `input` (width, height, channels) for a device with these
  // NPs, an HRC when asked, a skip-DMA engine of 4 channels in column 6 (the mesh lists an
  // engine once, its channel count in the channel byte) and the DMA in column 1.
  explicit RealModel(const Shape& input, const std::vector<np::Info>& nps = cnp_columns(2, 5), bool hrc = false)
      : model(model_with_input(input[0], input[1], input[2])) {
    driver.set_version({0xD3, 0xA2, 0x01, 0x00});
    const np::Info skip_dma{{6, 1, 0, 4}, {hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD}, false};
    device = std::make_shared<HostDevice>(
        HardwareDevice::create(&driver),
        std::make_unique<Mesh>(IpVersion::v2, hw::Ident{1, 1, 0, 0}, hw::Ident{1, 1, 1, 0},
                               hrc ? std::optional(np::Info{{}, {hw::Type::HRC}, false}) : std::nullopt, nps,
                               std::vector<np::Info>{skip_dma}));
  }

  // Adds a layer after `inbounds` (none: after the last layer).
  std::shared_ptr<Layer> add(LayerType type, const LayerParams::Values& values, const std::string& name,
                             const std::vector<std::shared_ptr<Layer>>& inbounds = {}) {
    auto layer = make_layer(type, values, name);
    model->add(layer, inbounds);
    return layer;
  }

  // Maps every layer; the error text, empty on success.
  std::string map(std::shared_ptr<MapConstraints> constraints = nullptr) {
    try {
      model->map(device, true, std::move(constraints));
    } catch (const std::exception& error) {
      return error.what();
    }
    return {};
  }

  std::shared_ptr<HardwareSequence> sequence(size_t index) const {
    return std::dynamic_pointer_cast<HardwareSequence>(model->sequences().at(index));
  }

  // The sequence's program, read with the engine's reader (whose memory figures must agree with
  // the program and the model) and with the generated readers.
  Blob read_program(const HardwareSequence& sequence) const {
    const Sequence::Bytes program = sequence.program();
    const ProgramInfo info(program.data, program.size);
    const Shape in = model->input_shape(), out = model->output_shape();
    EXPECT_EQ(info.pass_count(), sequence.passes().size());
    EXPECT_EQ(input_memory_required(info), (uint64_t{in[0]} * in[1] * in[2] + 3) / 4 * 4);
    EXPECT_EQ(output_memory_required(info),
              (uint64_t{out[0]} * out[1] * out[2] * tensor_element_size(info.output_tensor_type()) + 3) / 4 * 4);
    EXPECT_EQ(program_data_memory_required(info), sequence.program_parts().program_data.size);
    EXPECT_EQ(program_descriptors_memory_required(info), uint64_t{8} * info.descriptors_per_pass() * info.pass_count());
    return Blob(std::vector<uint8_t>(program.data, program.data + program.size));
  }

  std::shared_ptr<Dense> run() { return run_zero_samples(*model, driver); }

  const ScopedMapper mapper{make_hardware_mapper([] { return std::make_unique<HardwareBackend>(); })};
  SimulatedDriver driver;
  std::shared_ptr<HostDevice> device;
  std::unique_ptr<Model> model;
};

// Convolution parameters with a ReLU and 8-bit weights and outputs.
inline LayerParams::Values conv_params(int32_t kernel, int32_t filters, LayerParams::Values more = {}) {
  more.insert({{"kernel_size", kernel}, {"kernel_stride", 1}, {"filters", filters}, {"padding", 1},
               {"activation", 1}, {"pool_type", 0}, {"weights_bits", 8}, {"output_bits", 8}});
  return more;
}

}  // namespace ornix::test
