#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "engine/layer_fixtures.h"

namespace ornix::test {
namespace {

// The neuron count of a fully connected layer is "units", never "filters".
TEST(FullyConnectedParams, UnitsAreRequiredWhenTheLayerIsMade) {
  for (const LayerType type : {LayerType::FullyConnected, LayerType::Dense1D}) {
    EXPECT_THAT([&] { make_layer(type, {{"filters", 4}}, "dense"); },
                throws_text<std::invalid_argument>("Layer dense: parameter units is required."));
    auto model = model_with_input(2, 2, 3);
    const auto layer = add_layer(*model, type, {{"units", 4}, {"filters", 9}}, "dense");
    EXPECT_EQ(dims(layer->output_dimensions()), (std::vector<uint32_t>{1, 1, 4}));
  }
}

}  // namespace
}  // namespace ornix::test
