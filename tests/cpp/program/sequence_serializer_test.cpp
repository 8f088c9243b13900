// What the serializer asks of the recorders and where their records end up.
#include "program/sequence_serializer.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "engine/error_text.h"
#include "engine/layer_fixtures.h"
#include "mapping/layer_mapping.h"
#include "program/serializer_fixture.h"

namespace ornix::test {
namespace {

using Words = std::vector<uint32_t>;

// A layer mapped on the given components.
std::shared_ptr<Layer> mapped_layer(const std::string& name, std::vector<hw::Component> nps = {}) {
  auto layer = input_layer(1, 1, 1, name);
  auto mapping = LayerMapping::create();
  *mapping->nps = std::move(nps);
  layer->set_mapping(mapping);
  return layer;
}

hw::Component component(hw::Type type, hw::Ident ident) {
  hw::Component result;
  result.type = type;
  result.ident = ident;
  return result;
}

program::LearnRecordsPtr learn_records(std::unique_ptr<program::Record> record2, uint32_t count) {
  return {record_of({{1, 2}, {9}}), record_of({{3}, {4}}), std::move(record2), count};
}

TEST_F(SerializerTest, IdleNpsAreProgrammedUnderTheInputIdAndTheLayerIdComesBackOnEveryPath) {
  const auto layer = mapped_layer("n");
  const auto first = input_layer(1, 1, 1, "first");
  const auto mapping = layer_mapping_of(*layer);
  mapping->layer_id = 3;
  mapping->input_id = 7;
  std::vector<uint8_t> ids_seen;
  std::optional<RecordLayerCall> last;
  recorder.layer_program = [&](const RecordLayerCall& call) {
    ids_seen.push_back(layer_mapping_of(*call.layer)->layer_id);
    last = call;
    return record_of({{1}});
  };
  const std::vector<hw::Ident> idle{{1, 1, 0, 0}, {1, 2, 0, 0}};
  EXPECT_EQ(serializer.serialize_unused_nps_program(layer, first, idle), 1u);
  EXPECT_EQ(mapping->layer_id, 3);
  ASSERT_TRUE(last);
  EXPECT_EQ(std::tuple(last->first_layer, last->next_pass_layer, last->idle_nps, last->registers_only),
            std::tuple(first.get(), layer, idle, true));

  recorder.layer_program = [&](const RecordLayerCall& call) -> std::unique_ptr<program::Record> {
    ids_seen.push_back(layer_mapping_of(*call.layer)->layer_id);
    throw std::runtime_error("boom");
  };
  EXPECT_EQ(error_text([&] { serializer.serialize_unused_nps_program(layer, first, idle); }),
            "Cannot map layer 'n'. Error when programming layer: boom");
  EXPECT_EQ(ids_seen, (std::vector<uint8_t>{7, 7}));
  EXPECT_EQ(mapping->layer_id, 3);
}

TEST_F(SerializerTest, RecorderErrorsNameTheLayerAndOtherExceptionsPassUnchanged) {
  const auto layer = mapped_layer("L");
  const auto programs = [&] {
    serializer.serialize_layer_program(*layer, *layer, nullptr, false, false, {}, false, false);
  };
  const auto learns = [&] { serializer.serialize_learning_layer_program(*layer, false); };

  recorder.learning_program = [](const Layer&, bool) -> program::LearnRecordsPtr { throw std::runtime_error("boom"); };
  EXPECT_EQ(error_text(learns), "Error when programming layer 'L': boom");

  recorder.layer_program = [](const RecordLayerCall&) -> std::unique_ptr<program::Record> { throw 42; };
  recorder.learning_program = [](const Layer&, bool) -> program::LearnRecordsPtr { throw 42; };
  EXPECT_THROW(programs(), int);
  EXPECT_THROW(learns(), int);

  recorder.layer_program = [](const RecordLayerCall&) { return std::unique_ptr<program::Record>(); };
  EXPECT_EQ(error_text(programs),
            "Cannot map layer 'L'. Error when programming layer: The recorder returned no record.");
  // Register records need a track; the memory record a track or a filters track.
  const Filters filters{{6, 7, 2, 0}, {8}};
  const std::vector<std::function<program::LearnRecordsPtr()>> trackless{
      [] { return learn_records(record_of({}), 0); },
      [&] {
        return program::LearnRecordsPtr{record_of({}, filters), record_of({{3}}), record_of({{5}}), 0};
      },
      [&] {
        return program::LearnRecordsPtr{record_of({{1}}), record_of({}, filters), record_of({{5}}), 0};
      },
  };
  for (size_t i = 0; i < trackless.size(); ++i) {
    recorder.learning_program = [&](const Layer&, bool) { return trackless[i](); };
    EXPECT_EQ(error_text(learns), "Error when programming layer 'L': Each learning record must hold a track.") << i;
  }

  // A learning layer on no component is refused before the learning table is written.
  recorder.learning_program = [](const Layer&, bool) { return learn_records(record_of({{5}}), 0); };
  EXPECT_THROW(learns(), std::out_of_range);
  serializer.serialize_version(kDevice);
  serializer.finalize_pass();
  EXPECT_EQ(finish(empty_passes(1)).data->learning(), nullptr);
}

TEST_F(SerializerTest, LearningRecordsLiveOutsideThePassesAndAreLocatedByTheirFirstTracksOrFilters) {
  const auto layer = mapped_layer("learn", {component(hw::Type::FNP3, {4, 5, 1, 0})});
  recorder.learning_program = [](const Layer&, bool) { return learn_records(record_of({{5}}), 0); };
  serializer.serialize_version(kDevice);
  EXPECT_EQ(serializer.serialize_learning_layer_program(*layer, true), 3u);  // records 1 and 2
  serializer.finalize_pass();
  const Blob blob = finish(empty_passes(1));

  EXPECT_EQ(blob.data->passes()->Get(0)->records()->size(), 0u);
  ASSERT_TRUE(blob.data->learning() && blob.info->learning_layer());
  EXPECT_EQ(blob.data->learning()->ident()->row(), 5u);
  const fb::LearningLayerInfo* info = blob.info->learning_layer();
  EXPECT_EQ(blob.words_at(info->record0_span()), (Words{1, 2}));
  EXPECT_EQ(blob.words_at(info->record1_span()), Words{3});
  EXPECT_EQ(blob.words_at(info->record2()->tracks()->Get(0)), Words{5});

  // A record2 with filters (an FNP2's memory image, which has no NP track) is located by them
  // alone.
  SequenceSerializer with_filters(recorder, io);
  recorder.learning_program = [](const Layer&, bool) {
    return learn_records(record_of({}, Filters{{6, 7, 2, 0}, {8, 8, 8}}), 12);
  };
  with_filters.serialize_version(kDevice);
  with_filters.serialize_learning_layer_program(*layer, false);
  with_filters.finalize_pass();
  with_filters.finalize("", Shape{1}, Shape{1}, 0, 0, 0, false, 0, 0, {}, {}, 1, &program, empty_passes(1));
  const Blob filtered(program);
  EXPECT_EQ(filtered.data->learning()->count(), 12u);
  const fb::RecordSpans* record2 = filtered.info->learning_layer()->record2();
  ASSERT_TRUE(record2->tracks() == nullptr && record2->filters() != nullptr);
  EXPECT_EQ(filtered.words_at(record2->filters()->offset(), record2->filters()->word_count()), (Words{8, 8, 8}));
}

TEST_F(SerializerTest, SkipDmaEntriesOfTnpBAndDualOutputLayersFollowTheLayerOrder) {
  auto model = model_with_input(10, 5, 3);
  const auto temporal = add_layer(*model, LayerType::BufferTempConv, {{"fifo_size", 2}, {"filters", 4}}, "t");
  const auto conv = make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 40}, {"output_bits", 4}}, "c");
  model->add(conv, {model->get_layer(0)});

  const auto t_mapping = LayerMapping::create();
  t_mapping->skipdma_stores = {component(hw::Type::SKIP_DMA_STORE, {0, 0, 0, 5})};
  t_mapping->skip_store = std::make_unique<SkipDmaStoreInfo>(SkipDmaStoreInfo{3, 1, 2});
  t_mapping->skipdma_loads = {component(hw::Type::SKIP_DMA_LOAD, {0, 0, 0, 6})};
  t_mapping->skip_load = std::make_unique<SkipDmaLoadInfo>(SkipDmaLoadInfo{9, 4, 2, 0});
  temporal->set_mapping(t_mapping);
  const auto c_mapping = LayerMapping::create();
  c_mapping->merge_info = std::make_unique<MergeLayerMapInfo>();
  c_mapping->merge_info->dual_output = true;
  c_mapping->skipdma_stores = {component(hw::Type::SKIP_DMA_STORE, {0, 0, 0, 1}),
                               component(hw::Type::SKIP_DMA_STORE, {0, 0, 0, 2})};
  c_mapping->skip_store = std::make_unique<SkipDmaStoreInfo>(SkipDmaStoreInfo{1, 0, 1});
  c_mapping->skip_store_dual = std::make_unique<SkipDmaStoreInfo>(SkipDmaStoreInfo{2, 0, 2});
  conv->set_mapping(c_mapping);

  auto pass = std::make_shared<Sequence::Pass>();
  pass->layers = {model->get_layer(0), temporal, conv};  // the input layer has no LayerMapping
  serializer.serialize_version(kDevice);
  serializer.finalize_pass();
  const Blob blob = finish({pass});

  const auto fields = [](const fb::SKipDmaInfoTrack* entry) {
    return Words{entry->channel(), entry->tnp_b(), entry->param_a(), entry->param_b(), entry->word_count()};
  };
  const auto* stores = blob.info->pass_spans()->Get(0)->skipdma_stores();
  ASSERT_TRUE(stores && stores->size() == 3);
  EXPECT_EQ(fields(stores->Get(0)), (Words{5, 1, 3, 2, 50}));   // ceil(8 x 3 / 32) x 10 x 5
  EXPECT_EQ(fields(stores->Get(1)), (Words{1, 0, 1, 1, 250}));  // ceil(4 x 40 / 32) x 10 x 5
  EXPECT_EQ(fields(stores->Get(2)), (Words{2, 0, 2, 2, 45}));   // ceil(8 x 10 / 32) x 5 x 3
  const auto* loads = blob.info->pass_spans()->Get(0)->skipdma_loads();
  ASSERT_TRUE(loads && loads->size() == 1);
  EXPECT_EQ(fields(loads->Get(0)), (Words{6, 1, 4, 2, 0}));
}

// The program is written once, into memory sized from the records before anything is written,
// and handed over as it lies: the bytes equal a copy made into a vector, whatever the records
// hold, and moving them (into a sequence) keeps them where they are.
TEST_F(SerializerTest, ProgramMemoryHandedOverHoldsTheSameBytesAsACopy) {
  const auto layer = mapped_layer("a", {component(hw::Type::FNP2, {2, 1, 0, 0})});
  const struct {
    const char* name;
    std::vector<std::vector<uint32_t>> tracks;
    std::optional<Filters> filters;
    bool learning;
  } cases[] = {
      {"no tracks", {}, std::nullopt, false},
      {"tracks far past the builders' first size", {Words(20000, 5), Words(3, 6), Words(9000, 7)}, std::nullopt,
       false},
      {"a filters track and a learning layer", {Words(700, 1)}, Filters{{2, 1, 0, 0}, Words(5000, 8)},
       true},
      {"tracks and program in large pages", std::vector<Words>(10, Words(60000, 9)), std::nullopt, false},
  };
  for (const auto& c : cases) {
    const auto serialize = [&](auto* program) {
      FakeLayerRecorder layers{device, constraints, log, "v2"};
      layers.layer_program = [&](const RecordLayerCall&) { return record_of(c.tracks, c.filters); };
      layers.learning_program = [&](const Layer&, bool) {
        return learn_records(record_of({Words(4000, 3)}, c.filters), 12);
      };
      SequenceSerializer serializer(layers, io);
      serializer.serialize_version(kDevice);
      serializer.serialize_scc_program(false, true, false, true, true, Shape{5, 3, 1}, Shape{3, 3, 3});
      serializer.serialize_layer_program(*layer, *layer, nullptr, false, false, {}, false, false);
      if (c.learning) serializer.serialize_learning_layer_program(*layer, false);
      serializer.finalize_pass();
      serializer.record_dummy_desc_hdr(false);
      serializer.finalize("2.0.0", Shape{5, 3, 1}, Shape{3, 3, 3}, 0, 0, 4, true, 0, 0, {}, {}, 3, program,
                          empty_passes(1));
    };
    std::vector<uint8_t> copy;
    serialize(&copy);
    ProgramBytes handed;
    serialize(&handed);
    ASSERT_EQ(std::vector<uint8_t>(handed.begin(), handed.end()), copy) << c.name;
    EXPECT_NO_THROW(Blob{copy}) << c.name;

    const uint8_t* where = handed.data();
    const ProgramBytes moved = std::move(handed);
    EXPECT_EQ(moved.data(), where) << c.name;
  }
}

}  // namespace
}  // namespace ornix::test
