#include "mapping/hardware_backend.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "devices.h"
#include "engine/error_text.h"
#include "scripted_attempt.h"
#include "support/fake_generation.h"
#include "support/fake_map_constraints.h"

namespace ornix {
namespace {

using test::error;
using test::success;

class HardwareBackendMap : public ::testing::Test {
 protected:
  HardwareBackendMap() {
    for (const char* name : {"a", "b", "c"}) layers.push_back(test::named_layer(name));
    v2.checker.sequence = [this](CompatibilityChecker::LayerIterator first, CompatibilityChecker::LayerIterator last) {
      ++sequence_checks;
      EXPECT_EQ(last - first, static_cast<std::ptrdiff_t>(layers.size()));
      return sequence_verdict;
    };
    v1.checker.sequence = v2.checker.sequence;
  }

  MappingStatus map(const HwVersion& version, bool retry) {
    HardwareBackend backend({&v1, &v2}, script.attempt());
    return backend.map(&layers, &sequences, std::make_shared<MapConstraints>(test::mesh_device(version)), retry);
  }

  std::vector<std::shared_ptr<Layer>> layers;
  std::vector<std::shared_ptr<Sequence>> sequences;
  std::shared_ptr<test::EventLog> log = std::make_shared<test::EventLog>();
  test::FakeGeneration v1{"v1", log};
  test::FakeGeneration v2{"v2", log};
  test::ScriptedAttempt script;
  LayerMappingStatus sequence_verdict{""};
  int sequence_checks = 0;
};

TEST_F(HardwareBackendMap, RefusesNullConstraintsBeforeMakingAnything) {
  HardwareBackend backend({&v1, &v2}, script.attempt());
  EXPECT_EQ(error_text([&] { backend.map(&layers, &sequences, nullptr, true); }), "Map constraints must be specified.");
  EXPECT_TRUE(log->empty());
}

TEST_F(HardwareBackendMap, OnlyProductIdsAboveA0TryTheWholeModel) {
  script.steps = {{3, success()}};
  EXPECT_EQ(map(test::kD3_A1_01_00, false), success());
  EXPECT_EQ(sequence_checks, 1);
  EXPECT_EQ(script.modes, std::vector<bool>{true});

  for (const char* name : {"a", "b", "c"}) layers.push_back(test::named_layer(name));
  script.modes.clear();
  EXPECT_EQ(map(test::kD3_00_00_02, false), success());
  EXPECT_EQ(sequence_checks, 1);
  EXPECT_EQ(script.modes, std::vector<bool>{false});
}

TEST_F(HardwareBackendMap, FailedRulesWithoutRetryRunExactlyOnePrefixAttempt) {
  sequence_verdict = LayerMappingStatus("c", StatusCode::Error, "Max pooling may not end a sequence.");
  script.steps = {{1, error("Cannot map layer 'b'. Too large.")}};
  EXPECT_EQ(map(test::kD3_A2_01_00, false), error("Cannot map layer 'b'. Too large."));
  EXPECT_EQ(script.modes, std::vector<bool>{false});
  EXPECT_EQ(layers.size(), 2u);
}

TEST_F(HardwareBackendMap, FailedWholeModelEndsTheCallWithoutRetryAndFallsBackToPrefixesWithIt) {
  const auto original = layers;
  script.steps = {{0, error("Cannot map layer 'c'. Too large.")}};
  EXPECT_EQ(map(test::kD3_A2_01_00, false), error("Cannot map layer 'c'. Too large."));
  EXPECT_EQ(script.modes, std::vector<bool>{true});
  EXPECT_EQ(script.retries, std::vector<bool>{false});  // its failure is the answer: it may not give up early
  EXPECT_EQ(layers, original);
  EXPECT_TRUE(sequences.empty());

  script.modes.clear();
  script.retries.clear();
  script.steps = {{0, error("Cannot map layer 'c'. Too large.")}, {3, success()}};
  EXPECT_EQ(map(test::kD3_A2_01_00, true), success());
  EXPECT_EQ(script.modes, (std::vector<bool>{true, false}));
  EXPECT_EQ(script.retries, (std::vector<bool>{true, true}));
  EXPECT_TRUE(layers.empty());
}

TEST_F(HardwareBackendMap, RetryAppendsEachPrefixInOrderAndStopsAtAnAttemptThatMapsNothing) {
  const auto original = layers;
  script.steps = {{1, error("Cannot map layer 'b'. Next pass.")},
                  {1, error("Cannot map layer 'c'. Too large.")},
                  {0, error("Cannot map layer 'c'. Still too large.")}};
  EXPECT_EQ(map(test::kD3_00_00_02, true), error("Cannot map layer 'c'. Still too large."));
  EXPECT_EQ(layers, std::vector<std::shared_ptr<Layer>>{original[2]});
  ASSERT_EQ(sequences.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(sequences[i]->passes()[0]->layers, std::vector<std::shared_ptr<Layer>>{original[i]});
  }
}

TEST_F(HardwareBackendMap, StrategiesAreReleasedInReverseOrderAlsoWhenAnAttemptThrows) {
  const std::vector<std::string> v2_life{"v2 checker made",          "v2 memory sizer made",
                                         "v2 I/O recorder made",     "v2 layer recorder made",
                                         "v2 layer recorder destroyed", "v2 I/O recorder destroyed",
                                         "v2 memory sizer destroyed", "v2 checker destroyed"};
  // A hook override that throws in the second attempt: the first sequence stays.
  auto constraints = std::make_shared<test::HookedMapConstraints>(test::mesh_device(test::kD3_A2_01_00));
  constraints->on_select = [](const std::vector<hw::Ident>&, size_t, hw::Type) -> std::vector<hw::Ident> {
    throw std::runtime_error("select_nps override failed");
  };
  script.steps = {{1, error("Cannot map layer 'b'. Next pass.")}, {0, success()}};
  script.on_call = [&](const MapConstraints& seen) {
    if (script.modes.size() == 1) seen.select_nps({}, 1, hw::Type::CNP1);
  };
  sequence_verdict = LayerMappingStatus("c", StatusCode::Error, "Bad run.");
  HardwareBackend backend({&v1, &v2}, script.attempt());
  EXPECT_THROW(backend.map(&layers, &sequences, constraints, true), std::runtime_error);
  EXPECT_EQ(*log, v2_life);
  EXPECT_EQ(layers.size(), 2u);
  EXPECT_EQ(sequences.size(), 1u);
}

}  // namespace
}  // namespace ornix
