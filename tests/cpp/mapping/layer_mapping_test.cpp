#include <gtest/gtest.h>

#include <memory>
#include <utility>

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

TEST(LayerMapping, FreshRecordHasOnlyItsDefaults) {
  const auto record = LayerMapping::create();
  EXPECT_TRUE(record->layer_id == 0 && record->output_id == 255 && record->input_id == 0);
  EXPECT_TRUE(!record->p2p_input && record->p2p_output && !record->tnp_b_fifo);
  EXPECT_FALSE(record->merge_info || record->skip_store || record->skip_store_dual || record->skip_load ||
               record->alt_info || record->sram_output_shift);
  ASSERT_NE(record->nps, nullptr);
  EXPECT_TRUE(record->nps->empty() && record->inputs.empty() && record->outputs.empty());
  EXPECT_TRUE(record->skipdma_load() == nullptr && record->skipdma_store() == nullptr &&
              record->skipdma_store_dual_output() == nullptr);
}

TEST(LayerMapping, StoreIndicesFollowStoreCountAndDualOutput) {
  struct Case {
    size_t stores;
    bool dual;
    int32_t store;
    int32_t dual_store;
  };
  const Case cases[] = {{0, false, -1, -1}, {1, false, 0, -1}, {2, false, 0, -1}, {3, false, -1, -1},
                        {0, true, -1, -1},  {1, true, -1, 0},  {2, true, 0, 1},   {3, true, -1, 2}};
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

TEST(LayerMapping, AccessorsReachTheComponentsInPlace) {
  const auto record = record_with_stores(2, true);
  record->skipdma_store()->mem_info.external_size = 512;
  record->skipdma_store_dual_output()->mem_info.external_size = 256;
  EXPECT_EQ(record->skipdma_stores[0].mem_info.external_size, 512u);
  EXPECT_EQ(record->skipdma_stores[1].mem_info.external_size, 256u);

  record->skipdma_loads = {skip_dma(hw::Type::SKIP_DMA_LOAD, 4), skip_dma(hw::Type::SKIP_DMA_LOAD, 5)};
  EXPECT_EQ(std::as_const(*record).skipdma_load(), &record->skipdma_loads[0]);
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
