#include "mapping/mesh_mapper.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "mapping/map_constraints.h"
#include "support/fake_generation.h"
#include "support/fake_mapping.h"
#include "support/fake_mesh_device.h"

namespace ornix {
namespace {

using hw::Ident;
using hw::Type;
using Idents = std::vector<Ident>;

constexpr HwVersion kD3_A2_01_00{0xD3, 0xA2, 0x01, 0x00};

np::Info np_at(uint8_t col, uint8_t row, uint8_t id, std::set<Type> types) { return {{col, row, id, 0}, types, false}; }

// A pool over a virtual v2 device with an HRC, reset once; the checker answers `fits_fnp3`.
struct Pool {
  explicit Pool(std::vector<np::Info> nps, std::vector<np::Info> skip_dmas = {})
      : device(std::make_shared<test::FakeMeshDevice>(
            kD3_A2_01_00, Mesh(IpVersion::v2, {}, {}, np::Info{{}, {Type::HRC}, false}, nps, skip_dmas))),
        constraints(device),
        checker(*device, table, {}, std::make_shared<test::EventLog>(), "v2"),
        mapper(checker, constraints) {
    checker.behaviour.fnp3_fits = [this](const HardwareConstraints&, const Layer&) { return fits_fnp3; };
    mapper.reset();
  }

  bool fits_fnp3 = true;
  std::shared_ptr<test::FakeMeshDevice> device;
  MapConstraints constraints;
  HardwareConstraints table;
  test::FakeChecker checker;
  MeshMapper mapper;
};

std::shared_ptr<Layer> dense_layer() {
  return Layer::create(LayerParams::create(LayerType::Dense1D, {{"units", 10}}).get(), "dense");
}

TEST(MeshMapper, MeshWithoutFullyConnectedNpsOffersNoFnpType) {
  Pool pool({np_at(1, 1, 0, {Type::CNP1, Type::CNP2}), np_at(1, 1, 1, {Type::CNP1})});
  EXPECT_EQ(pool.mapper.get_compatible_fnp_type(*dense_layer()), Type::None);
  EXPECT_EQ(pool.mapper.max_nps(Type::CNP1), 2u);
  EXPECT_EQ(pool.mapper.max_nps(Type::HRC), 0u);  // the HRC is not lent out
}

TEST(MeshMapper, NpsWithScarceCapabilitiesComeLast) {
  // Node (2,1): an FNP3 beside a plain CNP. Node (3,1): two FNP3s, still one FNP3 node (flag
  // bits; summed, its NPs would rank after the FNP2). Node (1,1): plain.
  Pool pool({np_at(3, 1, 1, {Type::CNP1, Type::FNP3}), np_at(3, 1, 0, {Type::CNP1, Type::FNP3}),
             np_at(1, 2, 0, {Type::CNP1, Type::FNP2}), np_at(2, 1, 1, {Type::CNP1}),
             np_at(2, 1, 0, {Type::CNP1, Type::FNP3}), np_at(1, 1, 0, {Type::CNP1})});
  // Flags 0, 1, 3, 3, 3, 4.
  EXPECT_EQ(pool.mapper.available_nps(Type::CNP1),
            (Idents{{1, 1, 0, 0}, {2, 1, 1, 0}, {2, 1, 0, 0}, {3, 1, 0, 0}, {3, 1, 1, 0}, {1, 2, 0, 0}}));
  EXPECT_EQ(pool.mapper.available_nps(Type::FNP3), (Idents{{2, 1, 0, 0}, {3, 1, 0, 0}, {3, 1, 1, 0}}));
}

TEST(MeshMapper, SkipDmaEnginesExpandIntoTheFirstEnginesChannelCount) {
  const std::set<Type> both{Type::SKIP_DMA_STORE, Type::SKIP_DMA_LOAD};
  const Idents channels{{2, 1, 3, 0}, {2, 1, 3, 1}, {1, 1, 3, 0}, {1, 1, 3, 1}};  // mesh order kept
  Pool two_channels({}, {{{2, 1, 3, 2}, both, false}, {{1, 1, 3, 5}, both, false}});
  EXPECT_EQ(two_channels.mapper.available_nps(Type::SKIP_DMA_STORE), channels);
  two_channels.mapper.allocate_np({2, 1, 3, 1}, Type::SKIP_DMA_STORE);  // one direction only
  EXPECT_EQ(two_channels.mapper.available_nps(Type::SKIP_DMA_STORE),
            (Idents{{2, 1, 3, 0}, {1, 1, 3, 0}, {1, 1, 3, 1}}));
  EXPECT_EQ(two_channels.mapper.available_nps(Type::SKIP_DMA_LOAD), channels);

  Pool no_channel({}, {{{1, 1, 3, 0}, both, false}, {{2, 1, 3, 5}, both, false}});
  EXPECT_EQ(no_channel.mapper.max_nps(Type::SKIP_DMA_STORE), 0u);
}

TEST(MeshMapper, AllocationTakesOneTypeOrEveryType) {
  const Ident x{1, 1, 0, 0}, y{1, 1, 1, 0};
  Pool pool({np_at(1, 1, 0, {Type::CNP1, Type::FNP2}), np_at(1, 1, 1, {Type::CNP1})});
  pool.mapper.allocate_np(x, Type::CNP1);
  EXPECT_EQ(pool.mapper.available_nps(Type::CNP1), (Idents{y}));
  EXPECT_EQ(pool.mapper.available_nps(Type::FNP2), (Idents{x}));
  EXPECT_EQ(pool.mapper.max_nps(Type::CNP1), 2u);  // a fresh pass would have it again

  pool.mapper.deallocate_nps();
  pool.mapper.allocate_np(x, Type::None);
  pool.mapper.allocate_np({1, 1, 1, 1}, Type::None);  // all four bytes must match: nothing
  EXPECT_EQ(pool.mapper.available_nps(Type::CNP1), (Idents{y}));
  EXPECT_EQ(pool.mapper.available_nps(Type::FNP2), Idents{});

  pool.mapper.reset();
  EXPECT_EQ(pool.mapper.available_nps(Type::FNP2), (Idents{x}));
}

TEST(MeshMapper, ReservedNpsCountNowhereUntilTheReservationIsReplaced) {
  const Ident x{1, 1, 0, 0}, y{1, 1, 1, 0};
  Pool pool({np_at(1, 1, 0, {Type::CNP1}), np_at(1, 1, 1, {Type::CNP1})});
  pool.mapper.reserve_nps({x, {1, 1, 1, 1}});
  pool.mapper.allocate_np(x, Type::None);
  pool.mapper.deallocate_nps();
  EXPECT_EQ(pool.mapper.max_nps(Type::CNP1), 1u);
  EXPECT_EQ(pool.mapper.available_nps(Type::CNP1), (Idents{y}));

  pool.mapper.reserve_nps({});
  EXPECT_EQ(pool.mapper.max_nps(Type::CNP1), 2u);
  EXPECT_EQ(pool.mapper.available_nps(Type::CNP1), (Idents{x, y}));
}

TEST(MeshMapper, FnpTypePrefersAFreeNpThenAFreshPass) {
  const Ident fnp3{1, 1, 0, 0}, fnp2{2, 1, 0, 0};
  Pool pool({np_at(1, 1, 0, {Type::FNP3}), np_at(2, 1, 0, {Type::FNP2})});
  const auto layer = dense_layer();
  const auto fnp_type = [&](bool fits_fnp3, const Idents& reserved, const Idents& allocated) {
    pool.fits_fnp3 = fits_fnp3;
    pool.mapper.deallocate_nps();
    pool.mapper.reserve_nps(reserved);
    for (const Ident& ident : allocated) pool.mapper.allocate_np(ident, Type::None);
    return pool.mapper.get_compatible_fnp_type(*layer);
  };
  EXPECT_EQ(fnp_type(true, {}, {}), Type::FNP3);
  EXPECT_EQ(fnp_type(true, {}, {fnp3}), Type::FNP2);        // a free FNP2 beats a fresh pass
  EXPECT_EQ(fnp_type(true, {}, {fnp3, fnp2}), Type::FNP3);  // a fresh pass, FNP3 first
  EXPECT_EQ(fnp_type(false, {}, {fnp2}), Type::FNP2);       // the free FNP3 does not fit
  EXPECT_EQ(fnp_type(false, {fnp2}, {}), Type::None);
}

}  // namespace
}  // namespace ornix
