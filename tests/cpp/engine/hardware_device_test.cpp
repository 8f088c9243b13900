#include "ornix/hardware_device.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "device_registers.h"
#include "engine/error_text.h"
#include "ornix/testing/driver_registry.h"
#include "support/simulated_driver.h"

namespace ornix {
namespace {

using R = DeviceRegs;

class HardwareDeviceTest : public ::testing::Test {
 protected:
  HardwareDeviceTest() : driver_("sim") {
    driver_.set_version({0xD3, 0x00, 0x00, 0x01});
    device_ = HardwareDevice::create(&driver_);
  }

  // `count` frames of 2 x 2 x 1 bytes; the device does not read them.
  static HardwareDevice::Frames frames(size_t count) {
    HardwareDevice::Frames result;
    for (size_t i = 0; i < count; ++i) result.push_back(Dense::create(TensorType::uint8, Shape{2, 2, 1}));
    return result;
  }

  SimulatedDriver driver_;
  std::shared_ptr<HardwareDevice> device_;
  const std::vector<uint8_t> program_{1, 2, 3, 4, 5};
};

TEST(HardwareDeviceOpening, RefusesDriversWithoutAReadableDevice) {
  SimulatedDriver empty("empty");
  EXPECT_EQ(error_text([&] { HardwareDevice::create(&empty); }),
            "No device behind driver 'empty': its version register reads 0.");

  SimulatedDriver failing("failing");
  failing.set_version({0xD3, 0x00, 0x00, 0x02});
  failing.fail_reads("T");
  EXPECT_EQ(error_text([&] { HardwareDevice::create(&failing); }), "T");
  EXPECT_THROW(HardwareDevice::create(nullptr), std::invalid_argument);
}

TEST_F(HardwareDeviceTest, ReadsItsVersionAndOneDescriptorWordPerNp) {
  driver_.poke(0xFF000000, 0xD3A20107);  // vendor, product, major, minor from the top byte down
  const auto v2 = HardwareDevice::create(&driver_);
  EXPECT_EQ(v2->version(), (HwVersion{0xD3, 0xA2, 0x01, 0x07}));

  driver_.set_np_descriptor({1, 2, 1, 0}, 0x480);
  driver_.set_np_descriptor({2, 1, 0, 0}, 0x80);
  const std::vector<hw::Ident> idents{{1, 2, 1, 0}, {2, 1, 0, 0}, {2, 2, 1, 0}};
  std::vector<uint32_t> words(3, 0xDEAD);
  driver_.clear_log();
  device_->read_np_info(words.data(), idents.data(), idents.size());
  EXPECT_EQ(words, (std::vector<uint32_t>{0x480, 0x80, 0}));
  // (1, 2, 1): 0xFF800000 + ((1 * 256 + 2) * 8 + 1) * 4
  EXPECT_EQ(driver_.log().front(), (SimulatedDriver::Access{0xFF802044, 0x480, SimulatedDriver::AccessKind::Read}));
  const hw::Ident id8{1, 1, 8, 0}, channel1{1, 1, 0, 1};
  EXPECT_THROW(device_->read_np_info(words.data(), &id8, 1), std::invalid_argument);
  EXPECT_THROW(device_->read_np_info(words.data(), &channel1, 1), std::invalid_argument);
}

TEST_F(HardwareDeviceTest, HoldsTheProgramItIsGiven) {
  EXPECT_EQ(device_->current_program().data, nullptr);
  device_->program(program_.data(), program_.size());
  EXPECT_EQ(device_->current_program().data, program_.data());  // kept, not copied
  EXPECT_EQ(driver_.peek(R::kProgramSize), 5u);
  EXPECT_THROW(device_->program(nullptr, 4), std::invalid_argument);
  EXPECT_EQ(device_->current_program().data, program_.data());  // a refused program changes nothing

  device_->unprogram();
  EXPECT_EQ(device_->current_program().data, nullptr);
  EXPECT_EQ(driver_.peek(R::kProgramSize), 0u);
  device_->program(program_.data(), 0);  // an empty program is no program
  EXPECT_EQ(device_->current_program().data, nullptr);
}

TEST_F(HardwareDeviceTest, RunsOnlyAProgramWithTheDeclaredFrameCount) {
  driver_.set_output(Shape{1, 1, 10}, TensorType::int8);
  EXPECT_EQ(error_text([&] { device_->forward(frames(2)); }), "The device holds no program.");

  device_->program(program_.data(), program_.size());
  EXPECT_EQ(error_text([&] { device_->forward(frames(2)); }), "No run was declared for these 2 frames.");

  device_->prepare_run(3, true);
  EXPECT_EQ(driver_.peek(R::kRunFrames), 3u);
  EXPECT_EQ(driver_.peek(R::kRunReset), 1u);
  EXPECT_EQ(error_text([&] { device_->predict(frames(2)); }), "The run has 2 frames but 3 were declared.");

  device_->prepare_run(2, false);
  EXPECT_EQ(driver_.peek(R::kRunReset), 0u);
  EXPECT_EQ(device_->fit(frames(2), {1, 2}).size(), 2u);
  // A declaration serves one run.
  EXPECT_EQ(error_text([&] { device_->forward(frames(2)); }), "No run was declared for these 2 frames.");
}

TEST_F(HardwareDeviceTest, ReturnsOneZeroFilledOutputPerFrameInTheRegisteredGeometry) {
  device_->program(program_.data(), program_.size());
  driver_.set_output(Shape{1, 1, 10}, TensorType::int8);
  device_->prepare_run(2, true);
  const HardwareDevice::Outputs outputs = device_->forward(frames(2));
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(outputs[1]->type(), TensorType::int8);
  EXPECT_EQ(outputs[1]->shape(), (Shape{1, 1, 10}));
  const auto dense = outputs[1]->ensure_dense();
  EXPECT_EQ(std::vector<uint8_t>(dense->buffer(), dense->buffer() + dense->byte_size()), std::vector<uint8_t>(10, 0));
  EXPECT_NE(outputs[0]->ensure_dense()->buffer(), outputs[1]->ensure_dense()->buffer());  // separately owned

  driver_.poke(R::kOutputHeight, 0);
  device_->prepare_run(1, true);
  EXPECT_EQ(error_text([&] { device_->forward(frames(1)); }), "The device's output geometry has a dimension of 0.");
  driver_.set_output(Shape{1, 1, 1}, static_cast<TensorType>(10));
  device_->prepare_run(1, true);
  EXPECT_EQ(error_text([&] { device_->forward(frames(1)); }), "The device's output type 10 is not a tensor type.");
}

// One frame of the registered geometry, in the element type the run returns, may take 256 MiB.
TEST_F(HardwareDeviceTest, RefusesAnOutputFrameLargerThanTheDeviceHoldsBeforeMakingAny) {
  using Run = HardwareDevice::Outputs (HardwareDevice::*)(const HardwareDevice::Frames&);
  const struct {
    Run run;
    Shape shape;
    TensorType type;
    std::string error;
  } cases[] = {
      {&HardwareDevice::forward, Shape{16384, 16384, 1}, TensorType::uint8, "no error"},
      // predict returns float32 values
      {&HardwareDevice::predict, Shape{16384, 16384, 1}, TensorType::uint8,
       "The device's output geometry 16384 x 16384 x 1 gives frames of 1073741824 bytes; the device holds at most "
       "268435456 bytes for one output frame."},
      {&HardwareDevice::forward, Shape{67108865, 1, 1}, TensorType::int32,
       "The device's output geometry 67108865 x 1 x 1 gives frames of 268435460 bytes; the device holds at most "
       "268435456 bytes for one output frame."},
      {&HardwareDevice::forward, Shape{65535, 65535, 1}, TensorType::int32,
       "The device's output geometry 65535 x 65535 x 1 gives frames of 17179344900 bytes; the device holds at most "
       "268435456 bytes for one output frame."},
  };
  device_->program(program_.data(), program_.size());
  for (const auto& c : cases) {
    driver_.set_output(c.shape, c.type);
    device_->prepare_run(1, true);
    EXPECT_EQ(error_text([&] { (device_.get()->*c.run)(frames(1)); }), c.error);
  }
}

using Drivers = std::vector<HardwareDriver*>;

TEST(DriverRegistry, AttachmentsListDriversInOrderUntilReleasedAndRefuseRepeats) {
  EXPECT_TRUE(get_drivers().empty());
  SimulatedDriver a("a"), b("b"), c("c");
  {
    const DriverAttachment first(&a);
    std::optional<DriverAttachment> second(std::in_place, &b);
    const DriverAttachment third(&c);
    second.reset();
    second.emplace(&b);
    EXPECT_EQ(get_drivers(), (Drivers{&a, &c, &b}));
    EXPECT_THROW(DriverAttachment(nullptr), std::invalid_argument);
    EXPECT_EQ(error_text([&] { const DriverAttachment again(&a); }), "The driver is already attached.");
    EXPECT_EQ(get_drivers(), (Drivers{&a, &c, &b}));  // the refused attachment detached nothing
  }
  EXPECT_TRUE(get_drivers().empty());
}

}  // namespace
}  // namespace ornix
