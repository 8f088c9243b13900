#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "hardware/mapping_status.h"

namespace ornix {
namespace {

std::string thrown_text(const MappingStatus& status) {
  try {
    status.throw_exception();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "nothing thrown";
}

TEST(MappingStatusText, RendersSuccessOrTheLayerPrefixAndMessage) {
  EXPECT_EQ(MappingStatus(StatusCode::Success, "").to_string(), "Success.");
  EXPECT_EQ(MappingStatus(StatusCode::Error, "boom").to_string(), "boom");
  EXPECT_EQ(MappingError("No room.").to_string(), "No room.");
  EXPECT_EQ(MappingError("No room.").code(), StatusCode::Error);

  EXPECT_EQ(LayerMappingError("conv_1", "Too wide.").to_string(), "Cannot map layer 'conv_1'. Too wide.");
  EXPECT_EQ(LayerMappingError("", "Too wide.").to_string(), " Too wide.");
  EXPECT_EQ(LayerMappingStatus("conv_1").to_string(), "Success.");
  EXPECT_EQ(LayerMappingStatus("conv_1").to_string_impl(), "Cannot map layer 'conv_1'.");
  EXPECT_EQ(LayerMappingStatus("conv_1", StatusCode::Error, "").to_string(), "Cannot map layer 'conv_1'.");
}

TEST(MappingStatusText, NpsErrorNamesTheKindAndBothCounts) {
  const NpsMappingError error("dense", "CNP1", 3, 0);
  EXPECT_EQ(error.code(), StatusCode::Error);
  EXPECT_EQ(error.layer_name(), "dense");
  EXPECT_EQ(error.message(), "Not enough hardware component of type CNP1 available. 3 are needed but 0 are available.");
  EXPECT_EQ(error.to_string(),
            "Cannot map layer 'dense'. Not enough hardware component of type CNP1 available. 3 are needed but 0 are "
            "available.");
}

TEST(MappingStatusText, ThrowExceptionCarriesTheRenderedText) {
  EXPECT_EQ(thrown_text(MappingStatus(StatusCode::Success, "")), "Success.");
  EXPECT_EQ(thrown_text(LayerMappingError("a", "b")), "Cannot map layer 'a'. b");
}

TEST(LayersMappingStatus, SucceedsWhenEmptyOrWhenEveryHeldStatusSucceeds) {
  LayersMappingStatus statuses;
  EXPECT_TRUE(statuses.success());
  EXPECT_EQ(statuses.to_string(), "Success.");
  statuses.add_status(LayerMappingStatus("a"));
  statuses.add_status(LayerMappingStatus("b"));
  EXPECT_TRUE(statuses.success());
  EXPECT_EQ(statuses.to_string(), "Success.");
  EXPECT_EQ(statuses.to_string_impl(), "\n  * Layer 'a': \n  * Layer 'b': ");
}

TEST(LayersMappingStatus, RendersOneLinePerHeldStatus) {
  LayersMappingStatus one;
  one.add_status(LayerMappingError("conv", "Too wide."));
  EXPECT_FALSE(one.success());
  EXPECT_EQ(one.to_string(), "\n  * Layer 'conv': Too wide.");
  // The collection's own code and message play no part.
  EXPECT_EQ(one.code(), StatusCode::Success);

  LayersMappingStatus two;
  two.add_status(LayerMappingStatus("in"));
  two.add_status(NpsMappingError("fc", "FNP3", 2, 1));
  EXPECT_EQ(two.to_string(),
            "\n  * Layer 'in': \n  * Layer 'fc': Not enough hardware component of type FNP3 available. 2 are needed "
            "but 1 are available.");
}

TEST(LayersMappingStatus, KeepsOneOfEqualStatusesOnly) {
  LayersMappingStatus statuses;
  statuses.add_status(LayerMappingError("conv", "Too wide."));
  statuses.add_status(LayerMappingError("conv", "Too wide."));
  EXPECT_EQ(statuses.statuses().size(), 1u);
  statuses.add_status(LayerMappingError("conv", "Too high."));
  statuses.add_status(LayerMappingError("pool", "Too wide."));
  statuses.add_status(LayerMappingStatus("conv", StatusCode::Success, "Too wide."));
  ASSERT_EQ(statuses.statuses().size(), 4u);
  EXPECT_EQ(statuses.statuses()[1].message(), "Too high.");
  EXPECT_EQ(statuses.statuses()[2].layer_name(), "pool");
  EXPECT_EQ(statuses.statuses()[3].code(), StatusCode::Success);
}

TEST(MergeMappingStatus, AccumulatesFailureMessagesOnePerLine) {
  LayerMappingStatus status("conv");
  merge_mapping_status(status, LayerMappingError("conv", "a"));
  merge_mapping_status(status, LayerMappingStatus("conv"));
  merge_mapping_status(status, LayerMappingError("other", "b"));
  merge_mapping_status(status, LayerMappingError("", "c"));
  EXPECT_EQ(status.code(), StatusCode::Error);
  EXPECT_EQ(status.message(), "a\nb\nc");
  EXPECT_EQ(status.layer_name(), "conv");
}

TEST(MergeMappingStatus, ASuccessChangesNothingAndAnUnnamedStatusTakesTheName) {
  LayerMappingStatus failed("conv", StatusCode::Error, "a");
  merge_mapping_status(failed, LayerMappingStatus("other", StatusCode::Success, "ignored"));
  EXPECT_EQ(failed, LayerMappingStatus("conv", StatusCode::Error, "a"));

  LayerMappingStatus unnamed("");
  merge_mapping_status(unnamed, LayerMappingError("dense", "b"));
  EXPECT_EQ(unnamed, LayerMappingStatus("dense", StatusCode::Error, "b"));
}

}  // namespace
}  // namespace ornix
