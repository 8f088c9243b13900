// The bytes of the device program, read back with the generated readers.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/layer_fixtures.h"
#include "ornix/program_info.h"
#include "program/serializer_fixture.h"

namespace ornix::test {
namespace {

using Words = std::vector<uint32_t>;

TEST_F(SerializerTest, OnePassBlobLocatesEveryTrackFromTheDataPartsSizePrefix) {
  const auto layer = input_layer(1, 1, 1, "a");
  io.scc_program = [] { return record_of({{0x11, 0x22}}); };
  recorder.layer_program = [](const RecordLayerCall&) {
    return record_of({{1, 2, 3}, {}}, Filters{{2, 3, 1, 9}, {8, 8, 8, 8, 8}});
  };
  serializer.serialize_version(kDevice);
  serializer.serialize_scc_program(false, true, false, true, true, Shape{5, 3, 1}, Shape{3, 3, 3});
  EXPECT_EQ(serializer.serialize_layer_program(*layer, *layer, nullptr, false, false, {}, false, false), 2u);
  EXPECT_EQ(serializer.serialize_layer(*layer, *layer, nullptr, false, false, {}, false, false).track_count, 2u);
  serializer.finalize_pass();
  serializer.record_dummy_desc_hdr(false);
  const Blob blob = finish(empty_passes(1));

  // [L][info][M][data] and nothing else.
  EXPECT_EQ(blob.bytes.size(), 4u + blob.info_size + 4u + blob.data_size);

  ASSERT_EQ(blob.info->pass_spans()->size(), 1u);
  const auto* records = blob.info->pass_spans()->Get(0)->records();
  ASSERT_EQ(records->size(), 2u);  // serialize_layer's record is in no pass
  EXPECT_EQ(blob.words_at(records->Get(0)->tracks()->Get(0)), (Words{0x11, 0x22}));
  const fb::TrackSpan* first = records->Get(1)->tracks()->Get(0);
  EXPECT_EQ(blob.words_at(first), (Words{1, 2, 3}));
  EXPECT_EQ(blob.words_at(first->offset() - 4, 1), Words{3});  // the vector's length word precedes it
  const fb::TrackSpan* empty = records->Get(1)->tracks()->Get(1);
  EXPECT_EQ(empty->word_count(), 0u);
  EXPECT_EQ(blob.words_at(empty->offset() - 4, 1), Words{0});
  const fb::FiltersSpan* filters = records->Get(1)->filters();
  ASSERT_NE(filters, nullptr);
  EXPECT_EQ(Words({filters->col(), filters->row(), filters->id()}), (Words{2, 3, 1}));
  EXPECT_EQ(blob.words_at(filters->offset(), filters->word_count()), (Words{8, 8, 8, 8, 8}));

  const fb::TrackSpan* dummy = blob.info->dummy_header_span();
  ASSERT_NE(dummy, nullptr);
  EXPECT_EQ(blob.data_part + dummy->offset(), reinterpret_cast<const uint8_t*>(blob.data->dummy_header()));
  EXPECT_EQ(blob.words_at(dummy), (Words{0, 0}));

  const fb::DeviceVersion* version = blob.info->device_version();
  EXPECT_EQ(Words({version->vendor_id(), version->product_id(), version->major_rev(), version->minor_rev()}),
            (Words{0xD3, 0xA2, 0x01, 0x00}));
  EXPECT_EQ(blob.info->version()->str(), "2.0.0");

  // The engine reads the facts back: input (5, 3, 1) is 15 bytes in whole words; 5 filter
  // words; 3 descriptors x 1 pass.
  const ProgramInfo info(program.data(), program.size());
  EXPECT_EQ(input_memory_required(info), 16u);
  EXPECT_EQ(extra_program_memory_required(info), 20u);
  EXPECT_EQ(program_descriptors_memory_required(info), 24u);
}

TEST_F(SerializerTest, SeveralPassesRecordTheDummyHeaderAndDefaultScalarsAreLeftOut) {
  const auto layer = input_layer(1, 1, 1, "a");
  io.epg_values = {{0x10, 5}, {0x14, 6}};
  serializer.serialize_version(HwVersion{});
  EXPECT_TRUE(serializer.serialize_scc_program(true, true, true, true, false, Shape{1}, Shape{1}));  // no track
  serializer.finalize_pass();
  serializer.finalize_pass();
  serializer.serialize_epg_tracks(*layer, 1, 2, 1, false, true, true);
  serializer.record_dummy_desc_hdr(true);
  serializer.finalize("", Shape{1}, Shape{1}, 0, 0, 0, false, 0, 0, {}, {}, 0, &program, empty_passes(2));
  const Blob blob(program);

  // word 0: the all-zero ident; word 1: address 0 | target 8 << 16 | size 1 << 21
  EXPECT_EQ(blob.words_at(blob.info->dummy_header_span()), (Words{0x00000000, 0x00280000}));
  ASSERT_EQ(blob.info->pass_spans()->size(), 2u);
  EXPECT_EQ(blob.info->pass_spans()->Get(0)->records()->Get(0)->tracks()->size(), 0u);
  EXPECT_EQ(blob.info->pass_spans()->Get(1)->records()->size(), 0u);
  ASSERT_TRUE(blob.info->epg_registers() && blob.info->epg_registers()->size() == 2);
  EXPECT_EQ(std::pair(blob.info->epg_registers()->Get(1)->offset(), blob.info->epg_registers()->Get(1)->value()),
            std::pair(0x14u, 6u));

  // Version 00.00.000.000: a table without fields, whose vtable holds only its two sizes.
  const auto* version = reinterpret_cast<const flatbuffers::Table*>(blob.info->device_version());
  EXPECT_EQ(flatbuffers::ReadScalar<flatbuffers::voffset_t>(version->GetVTable()), 4u);
  for (const flatbuffers::voffset_t field :
       {fb::ProgramInfo::VT_INPUT_TYPE, fb::ProgramInfo::VT_OUTPUT_TYPE, fb::ProgramInfo::VT_OUTPUT_BITS,
        fb::ProgramInfo::VT_LAST_LAYER_FLAG, fb::ProgramInfo::VT_INPUT_PARAM_1, fb::ProgramInfo::VT_INPUT_PARAM_0,
        fb::ProgramInfo::VT_DESCRIPTORS_PER_PASS}) {
    EXPECT_FALSE(stores(blob.info, field)) << field;
  }
  // Equal vtables are written once.
  EXPECT_EQ(reinterpret_cast<const flatbuffers::Table*>(blob.data->passes()->Get(0))->GetVTable(),
            reinterpret_cast<const flatbuffers::Table*>(blob.data->passes()->Get(1))->GetVTable());
}

}  // namespace
}  // namespace ornix::test
