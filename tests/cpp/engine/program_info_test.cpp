#include "ornix/program_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "device_registers.h"
#include "engine/error_text.h"
#include "ornix/hardware_device.h"
#include "program_format/program_generated.h"
#include "support/simulated_driver.h"

namespace ornix {
namespace {

struct ProgramFacts {
  std::vector<uint32_t> output_shape{2, 4, 6};
  int8_t output_type = 0;
  uint32_t data_passes = 0;        // the info part lists none
  uint32_t dummy_span_offset = 8;  // bytes from the data part's size prefix
};

// Empty passes; 4 output bits; the dummy header span of 2 words.
std::vector<uint8_t> program_blob(const ProgramFacts& facts) {
  flatbuffers::FlatBufferBuilder data;
  std::vector<flatbuffers::Offset<fb::Pass>> passes;
  for (uint32_t i = 0; i < facts.data_passes; ++i) passes.push_back(fb::CreatePass(data));
  const fb::ConfigHeader header(0, 0);
  data.FinishSizePrefixed(fb::CreateProgramData(data, data.CreateVector(passes), 0, &header));

  flatbuffers::FlatBufferBuilder info;
  const fb::TrackSpan dummy_span(facts.dummy_span_offset, 2);
  info.FinishSizePrefixed(fb::CreateProgramInfoDirect(info, "2.0.0", 0, nullptr, &facts.output_shape, fb::IoType::Code0,
                                                      static_cast<fb::IoType>(facts.output_type), 4, false, 0, 0,
                                                      nullptr, nullptr, 0, nullptr, nullptr, 0, &dummy_span));
  std::vector<uint8_t> blob(info.GetBufferPointer(), info.GetBufferPointer() + info.GetSize());
  blob.insert(blob.end(), data.GetBufferPointer(), data.GetBufferPointer() + data.GetSize());
  return blob;
}

// The size-prefixed info buffer that opens `blob`.
std::vector<uint8_t> info_part(const std::vector<uint8_t>& blob) {
  uint32_t info_size = 0;  // little-endian like the host
  std::memcpy(&info_size, blob.data(), sizeof(info_size));
  return {blob.begin(), blob.begin() + sizeof(info_size) + info_size};
}

TEST(ProgramInfo, RefusesBytesThatAreNotOneWholeProgram) {
  const auto text = [](std::vector<uint8_t> bytes) {
    return error_text([&] { ProgramInfo(bytes.data(), bytes.size()); });
  };
  const std::vector<uint8_t> blob = program_blob({});
  const size_t info_size = info_part(blob).size() - 4;  // L

  EXPECT_EQ(text({1, 2, 3}), "The device program is truncated.");
  EXPECT_EQ(text(std::vector<uint8_t>(blob.begin(), blob.begin() + info_size + 4)), "The device program is truncated.");
  std::vector<uint8_t> longer = blob;
  longer.push_back(0);
  EXPECT_EQ(text(longer), "The device program has bytes after its data part.");
  std::vector<uint8_t> bad_info = blob;
  bad_info[7] = 0xFF;  // the info root offset points past the buffer
  EXPECT_EQ(text(bad_info), "The device program's info part cannot be read.");
  std::vector<uint8_t> bad_data = blob;
  bad_data[info_size + 8 + 3] = 0xFF;  // so does the data root offset
  EXPECT_EQ(text(bad_data), "The device program's data part cannot be read.");
  EXPECT_EQ(text(program_blob({.data_passes = 1})),
            "The device program's info part and data part have different pass counts.");
  EXPECT_EQ(text(program_blob({.dummy_span_offset = 0x10000})),
            "The device program locates words outside its data part.");
  EXPECT_THROW(ProgramInfo(nullptr, 8), std::runtime_error);
}

TEST(ProgramInfo, ProgrammingAWholeProgramSetsTheDevicesOutputGeometry) {
  SimulatedDriver driver("sim");
  driver.set_version({0xD3, 0xA2, 0x01, 0x00});
  const auto device = HardwareDevice::create(&driver);

  const std::vector<uint8_t> blob = program_blob({.output_type = 2});
  device->program(blob.data(), blob.size());
  device->prepare_run(1, true);
  const auto outputs = device->forward({Dense::create(TensorType::uint8, Shape{1, 1, 1})});
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(outputs[0]->shape(), (Shape{2, 4, 6}));
  EXPECT_EQ(outputs[0]->type(), TensorType::int32);  // type code 2: not the values themselves
  EXPECT_EQ(output_memory_required(ProgramInfo(blob.data(), blob.size())), 2u * 4 * 6 * 4);

  // An output shape that is not (width, height, channels), and bytes that are no program,
  // leave the geometry as it was.
  driver.set_output(Shape{1, 1, 10}, TensorType::int8);
  const std::vector<uint8_t> flat = program_blob({.output_shape = {10}});
  device->program(flat.data(), flat.size());
  const std::vector<uint8_t> raw{1, 2, 3, 4, 5};
  device->program(raw.data(), raw.size());
  EXPECT_EQ(driver.peek(DeviceRegs::kOutputChannels), 10u);
  EXPECT_EQ(driver.peek(DeviceRegs::kOutputType), static_cast<uint32_t>(TensorType::int8));
}

TEST(ProgramInfo, ProgrammingFromTheInfoPartSetsTheDevicesOutputGeometry) {
  SimulatedDriver driver("sim");
  driver.set_version({0xD3, 0xA2, 0x01, 0x00});
  const auto device = HardwareDevice::create(&driver);
  const std::vector<uint8_t> whole = program_blob({.output_shape = {3, 5, 7}, .output_type = 2});
  const std::vector<uint8_t> info_alone = info_part(program_blob({.output_shape = {1, 1, 6}}));
  for (const auto& [bytes, shape, type] : {std::tuple{&whole, Shape{3, 5, 7}, TensorType::int32},
                                           std::tuple{&info_alone, Shape{1, 1, 6}, TensorType::uint8}}) {
    device->program_external(bytes->data(), bytes->size(), 0x1000);
    device->prepare_run(1, true);
    const auto outputs = device->forward({Dense::create(TensorType::uint8, Shape{1, 1, 1})});
    EXPECT_EQ(outputs.at(0)->shape(), shape);
    EXPECT_EQ(outputs.at(0)->type(), type);
  }
}

// One output frame may take at most 256 MiB of device memory: uint8 values for type code 0 with
// 4 bits, int32 values for type code 2.
TEST(ProgramInfo, RefusesAnOutputTheDeviceCannotHold) {
  const struct {
    std::vector<uint32_t> output_shape;
    int8_t output_type;
    std::string error;
  } cases[] = {
      {{16384, 16384, 1}, 0, "no error"},
      {{4096, 4096, 4}, 2, "no error"},
      {{65535, 65535, 1}, 0,
       "The device program describes an output of 4294836228 bytes; the device holds at most 268435456 bytes for one "
       "output."},
      {{16384, 16384, 1}, 2,
       "The device program describes an output of 1073741824 bytes; the device holds at most 268435456 bytes for one "
       "output."},
      {{16385, 16384, 1}, 0,
       "The device program describes an output of 268451840 bytes; the device holds at most 268435456 bytes for one "
       "output."},
      {{65536, 65536, 65536, 65536}, 0,
       "The device program describes an output of 18446744073709551615 bytes; the device holds at most 268435456 "
       "bytes for one output."},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> blob = program_blob({.output_shape = c.output_shape, .output_type = c.output_type});
    EXPECT_EQ(error_text([&] { ProgramInfo(blob.data(), blob.size()); }), c.error);
  }

  // The device refuses such a program, whole or as its info part from elsewhere, and keeps the
  // one it had, with its output geometry.
  SimulatedDriver driver("sim");
  driver.set_version({0xD3, 0xA2, 0x01, 0x00});
  const auto device = HardwareDevice::create(&driver);
  const std::vector<uint8_t> small = program_blob({});
  device->program(small.data(), small.size());
  const std::vector<uint8_t> huge = program_blob({.output_shape = {65535, 65535, 1}});
  const std::vector<uint8_t> huge_info = info_part(huge);
  EXPECT_THROW(device->program(huge.data(), huge.size()), ProgramOutputTooLarge);
  EXPECT_THROW(device->program_external(huge.data(), huge.size(), 0x1000), ProgramOutputTooLarge);
  EXPECT_THROW(device->program_external(huge_info.data(), huge_info.size(), 0x1000), ProgramOutputTooLarge);
  EXPECT_EQ(device->current_program().data, small.data());
  EXPECT_EQ(driver.peek(DeviceRegs::kProgramSize), small.size());
  EXPECT_EQ(driver.peek(DeviceRegs::kProgramAddress), 0u);
  EXPECT_EQ(driver.peek(DeviceRegs::kOutputWidth), 2u);
}

}  // namespace
}  // namespace ornix
