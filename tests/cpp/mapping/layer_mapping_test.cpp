#include <gtest/gtest.h>

#include <memory>

#include "engine/layer_fixtures.h"
#include "mapping/layer_mapping.h"

namespace ornix {
namespace {

hw::Component skip_dma(hw::Type type, uint8_t channel) {
  hw::Component component;
  component.type = type;
  component.ident = {9, 1, 0, channel};
  return component;
}

// A record with `stores` store components (channels 1, 2 ...), marked dual-output or not.
std::shared_ptr<LayerMapping> record_with_stores(size_t stores, bool dual) {
  auto record = LayerMapping::create();
  for (size_t i = 0; i < stores; ++i) {
    record->skipdma_stores.push_back(skip_dma(hw::Type::SKIP_DMA_STORE, static_cast<uint8_t>(i + 1)));
  }
  record->merge_info = std::make_unique<MergeLayerMapInfo>();
  record->merge_info->dual_output = dual;
  return record;
}

TEST(LayerMapping, StoreIndicesFollowStoreCountAndDualOutput) {
  struct Case {
    size_t stores;
    bool dual;
    int32_t store;
    int32_t dual_store;
  };
  const Case cases[] = {{2, false, 0, -1}, {3, false, -1, -1}, {1, true, -1, 0}, {2, true, 0, 1}, {3, true, -1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stores << " stores, dual " << c.dual);
    const auto record = record_with_stores(c.stores, c.dual);
    EXPECT_EQ(record->get_skipdma_store_index(), c.store);
    EXPECT_EQ(record->get_skipdma_store_dual_output_index(), c.dual_store);
  }
  const auto without_merge = record_with_stores(1, false);
  without_merge->merge_info.reset();
  EXPECT_EQ(without_merge->get_skipdma_store_index(), 0);
  EXPECT_EQ(without_merge->get_skipdma_store_dual_output_index(), -1);
}

TEST(LayerMapping, LayerMappingOfFindsOnlyThisKindOfRecord) {
  const auto layer = test::input_layer(4, 4, 1);
  EXPECT_EQ(layer_mapping_of(*layer), nullptr);
  layer->set_mapping(std::make_shared<Layer::Mapping>());
  EXPECT_EQ(layer_mapping_of(*layer), nullptr);
  const auto record = LayerMapping::create();
  layer->set_mapping(record);
  EXPECT_EQ(layer_mapping_of(*layer), record);
}

}  // namespace
}  // namespace ornix
