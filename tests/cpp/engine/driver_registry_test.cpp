#include "ornix/testing/driver_registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "support/simulated_driver.h"

namespace ornix {
namespace {

using Drivers = std::vector<HardwareDriver*>;

TEST(DriverRegistry, ListsNothingByDefault) { EXPECT_TRUE(get_drivers().empty()); }

TEST(DriverRegistry, AttachmentsListDriversInOrderUntilReleased) {
  SimulatedDriver a("a"), b("b"), c("c");
  {
    const DriverAttachment first(&a);
    std::optional<DriverAttachment> second(std::in_place, &b);
    const DriverAttachment third(&c);
    EXPECT_EQ(get_drivers(), (Drivers{&a, &b, &c}));

    second.reset();
    EXPECT_EQ(get_drivers(), (Drivers{&a, &c}));
    second.emplace(&b);
    EXPECT_EQ(get_drivers(), (Drivers{&a, &c, &b}));
  }
  EXPECT_TRUE(get_drivers().empty());
}

TEST(DriverRegistry, RefusesNullAndRepeatedAttachments) {
  SimulatedDriver a("a");
  EXPECT_THROW(DriverAttachment(nullptr), std::invalid_argument);
  const DriverAttachment first(&a);
  try {
    const DriverAttachment again(&a);
    ADD_FAILURE() << "a second attachment of the same driver was accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "The driver is already attached.");
  }
  EXPECT_EQ(get_drivers(), (Drivers{&a}));  // the refused attachment detached nothing
}

}  // namespace
}  // namespace ornix
