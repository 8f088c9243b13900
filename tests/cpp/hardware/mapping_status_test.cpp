#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/error_text.h"
#include "hardware/mapping_status.h"
#include "ornix/layer_params.h"

namespace ornix {
namespace {

TEST(MappingStatusText, RendersSuccessOrTheLayerPrefixAndMessage) {
  EXPECT_EQ(MappingStatus(StatusCode::Success, "").to_string(), "Success.");
  EXPECT_EQ(MappingError("No room.").to_string(), "No room.");
  EXPECT_EQ(LayerMappingError("conv", "Too wide.").to_string(), "Cannot map layer 'conv'. Too wide.");
  EXPECT_EQ(LayerMappingError("", "Too wide.").to_string(), " Too wide.");
  EXPECT_EQ(LayerMappingStatus("conv").to_string(), "Success.");
  EXPECT_EQ(LayerMappingStatus("conv").to_string_impl(), "Cannot map layer 'conv'.");
  EXPECT_EQ(NpsMappingError("fc", "CNP1", 3, 0).message(),
            "Not enough hardware component of type CNP1 available. 3 are needed but 0 are available.");
  EXPECT_EQ(error_text([] { MappingStatus(StatusCode::Success, "").throw_exception(); }), "Success.");

  const auto params = LayerParams::create(LayerType::Dense1D, {{"units", 4}});
  const auto layer = Layer::create(params.get(), "fc");
  EXPECT_EQ(LayerMappingError(*layer, "Too many units.").to_string(), "Cannot map layer 'fc'. Too many units.");
}

TEST(LayersMappingStatus, RendersOneLinePerDistinctHeldStatusOrSuccess) {
  LayersMappingStatus statuses;
  EXPECT_EQ(statuses.to_string(), "Success.");
  statuses.add_status(LayerMappingStatus("in"));
  EXPECT_EQ(statuses.to_string(), "Success.");
  statuses.add_status(LayerMappingError("conv", "Too wide."));
  EXPECT_FALSE(statuses.success());
  EXPECT_EQ(statuses.to_string(), "\n  * Layer 'in': \n  * Layer 'conv': Too wide.");

  statuses.add_status(LayerMappingError("conv", "Too wide."));
  statuses.add_status(LayerMappingError("conv", "Too high."));
  statuses.add_status(LayerMappingError("pool", "Too wide."));
  statuses.add_status(LayerMappingStatus("conv", StatusCode::Success, "Too wide."));
  EXPECT_EQ(statuses.statuses().size(), 5u);
}

TEST(MergeMappingStatus, AccumulatesFailuresOnePerLineAndIgnoresSuccesses) {
  LayerMappingStatus status("");
  merge_mapping_status(status, LayerMappingStatus("other", StatusCode::Success, "ignored"));
  EXPECT_EQ(status, LayerMappingStatus(""));
  merge_mapping_status(status, LayerMappingError("conv", "a"));
  merge_mapping_status(status, LayerMappingError("other", "b"));
  merge_mapping_status(status, LayerMappingStatus("pool"));
  merge_mapping_status(status, LayerMappingError("", "c"));
  EXPECT_EQ(status, LayerMappingStatus("conv", StatusCode::Error, "a\nb\nc"));
}

}  // namespace
}  // namespace ornix
