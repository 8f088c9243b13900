#pragma once

// A generation-1 model mapped by the built-in back end (real checker, sizer and recorders) onto
// a simulated IP v1 device, its programs read back with the engine's reader.

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backend_v2/real_model.h"
#include "engine/layer_fixtures.h"
#include "hardware/host_device.h"
#include "mapping/hardware_backend.h"
#include "mapping/hardware_backend_registration.h"
#include "mapping/layer_mapping.h"
#include "ornix/hardware_device.h"
#include "ornix/program_info.h"
#include "program/hardware_sequence.h"
#include "program/serializer_fixture.h"
#include "support/fake_mapping.h"
#include "support/simulated_driver.h"

namespace ornix::v1::test {

inline constexpr HwVersion kA1Device{0xD3, 0xA1, 0x01, 0x00};
inline constexpr HwVersion kVamoV2Device{0xD3, 0x00, 0x00, 0x02};

// `count` CNPs (ids 0 to 3 of each column, from column 2 on) and, in the next column, one FNP
// of `fnp` (none for hw::Type::None).
inline std::vector<np::Info> v1_nps(uint32_t count, hw::Type fnp) {
  std::vector<np::Info> nps;
  for (uint32_t k = 0; k < count; ++k) {
    nps.push_back({{static_cast<uint8_t>(2 + k / 4), 1, static_cast<uint8_t>(k % 4), 0},
                   {hw::Type::CNP1, hw::Type::CNP2},
                   false});
  }
  if (fnp != hw::Type::None) nps.push_back({{static_cast<uint8_t>(3 + (count - 1) / 4), 1, 0, 0}, {fnp}, false});
  return nps;
}

inline std::shared_ptr<Dense> int32s(const std::vector<int32_t>& values) {
  return Dense::copy(values.data(), values.size() * 4, TensorType::int32, Shape{uint32_t(values.size())});
}
inline std::shared_ptr<Dense> floats(const std::vector<float>& values) {
  return Dense::copy(values.data(), values.size() * 4, TensorType::float32, Shape{uint32_t(values.size())});
}

// Fills a layer's "weights" (and "weights_pw") with the repeating pattern 1, 0, -1 (0, 1 for
// 1-bit weights), its thresholds with 1, 2, 3 ... and its act_steps with 1, 2, 3 ... so that
// every packer writes non-zero words.
inline void give_real_values(Layer& layer) {
  Variables& variables = layer.variables();
  const bool one_bit = layer.params()->has("weights_bits") && layer.params()->get("weights_bits") == 1;
  for (const char* name : {"weights", "weights_pw"}) {
    if (!variables.has(name)) continue;
    const auto old = variables.get(name);
    auto tensor = Dense::create(old->type(), old->shape(), old->layout());
    auto* bytes = reinterpret_cast<int8_t*>(tensor->buffer());
    for (size_t k = 0; k < tensor->size(); ++k) bytes[k] = one_bit ? k % 2 : static_cast<int8_t>(1 - k % 3);
    variables.set(name, tensor);
  }
  const uint32_t count = variables.get("threshold")->shape()[0];
  std::vector<int32_t> thresholds(count);
  std::vector<float> steps(count);
  for (uint32_t k = 0; k < count; ++k) {
    thresholds[k] = static_cast<int32_t>(k % 7 + 1);
    steps[k] = static_cast<float>(k % 5 + 1);
  }
  variables.set("threshold", int32s(thresholds));
  variables.set("act_step", floats(steps));
}

class V1RealModel {
 public:
  // An empty model for a device of `version` with these NPs, an HRC when asked, and the DMA in
  // column 1 (event id 0, configuration id 1); the mesh's SRAM sizes are the generation's unless
  // given.
  V1RealModel(const HwVersion& version, const std::vector<np::Info>& nps, bool hrc = true,
              std::optional<SramSize> sram = std::nullopt)
      : model(Model::create()) {
    driver.set_version(version);
    auto mesh = std::make_unique<Mesh>(IpVersion::v1, hw::Ident{1, 1, 0, 0}, hw::Ident{1, 1, 1, 0},
                                       hrc ? std::optional(np::Info{{}, {hw::Type::HRC}, false}) : std::nullopt,
                                       nps, std::vector<np::Info>{});
    if (sram) mesh->np_sram_size = *sram;
    device = std::make_shared<HostDevice>(HardwareDevice::create(&driver), std::move(mesh));
  }

  // Adds a layer after the last one, with real values.
  std::shared_ptr<Layer> add(LayerType type, const LayerParams::Values& values, const std::string& name) {
    auto layer = ornix::test::make_layer(type, values, name);
    model->add(layer, {});
    give_real_values(*layer);
    return layer;
  }
  // Starts the model with an InputData layer.
  void add_input(uint32_t width, uint32_t height, uint32_t channels, int32_t bits) {
    model->add(ornix::test::input_layer(width, height, channels, "input", bits), {});
  }

  // Maps every layer; the error text, empty on success.
  std::string map() {
    try {
      model->map(device, true, nullptr);
    } catch (const std::exception& error) {
      return error.what();
    }
    return {};
  }

  std::shared_ptr<HardwareSequence> sequence(size_t index) const {
    return std::dynamic_pointer_cast<HardwareSequence>(model->sequences().at(index));
  }

  // The sequence's program, read with the engine's reader (whose figures must agree with the
  // program and the sequence) and with the generated readers.
  ornix::test::Blob read_program(const HardwareSequence& sequence) const {
    const Sequence::Bytes program = sequence.program();
    const ProgramInfo info(program.data, program.size);
    EXPECT_EQ(info.pass_count(), sequence.passes().size());
    EXPECT_EQ(program_data_memory_required(info), sequence.program_parts().program_data.size);
    EXPECT_EQ(program_descriptors_memory_required(info), uint64_t{8} * info.descriptors_per_pass() * info.pass_count());
    return ornix::test::Blob(std::vector<uint8_t>(program.data, program.data + program.size));
  }

  // Runs two zero samples through the mapped model on the device; the outputs, stacked.
  std::shared_ptr<Dense> run() { return ornix::test::run_zero_samples(*model, driver); }

  const ornix::test::ScopedMapper mapper{
      make_hardware_mapper([] { return std::make_unique<HardwareBackend>(); })};
  SimulatedDriver driver;
  std::shared_ptr<HostDevice> device;
  std::unique_ptr<Model> model;
};

// The components of a mapped layer.
inline const std::vector<hw::Component>& components_of(const Layer& layer) { return *layer_mapping_of(layer)->nps; }

}  // namespace ornix::v1::test
