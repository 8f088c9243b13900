#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "mapping/mapping_attempt.h"
#include "support/fake_mapping.h"

namespace ornix::test {

// A mapping attempt that follows a script: call i maps steps[i].layers layers from the front
// into one FakeSequence (none when 0) and returns steps[i].status.
struct ScriptedAttempt {
  struct Step {
    size_t layers;
    MappingStatus status;
  };

  std::vector<Step> steps;
  std::vector<bool> modes;    // whole_model of each call, in order
  std::vector<bool> retries;  // retry of each call, in order
  std::shared_ptr<MapConstraints> last_constraints;
  // Run at the start of each call (e.g. to call the constraints' hooks).
  std::function<void(const MapConstraints&)> on_call;

  MappingAttempt attempt() {
    return [this](const HardwareConstraints&, const std::shared_ptr<MapConstraints>& constraints,
                  const IpVersionSpecificHardwareBackend&, std::vector<std::shared_ptr<Layer>>* layers,
                  std::vector<std::shared_ptr<Sequence>>* sequences, bool whole_model, bool retry) {
      last_constraints = constraints;
      if (on_call) on_call(*constraints);
      modes.push_back(whole_model);
      retries.push_back(retry);
      if (modes.size() > steps.size()) {
        ADD_FAILURE() << "attempt " << modes.size() << " was not expected";
        return MappingStatus(StatusCode::Error, "unexpected attempt");
      }
      const Step& step = steps[modes.size() - 1];
      if (step.layers > 0) {
        const auto end = layers->begin() + static_cast<std::ptrdiff_t>(step.layers);
        sequences->push_back(std::make_shared<FakeSequence>("HW/" + std::to_string(modes.size()),
                                                            std::vector<std::shared_ptr<Layer>>(layers->begin(), end),
                                                            nullptr));
        layers->erase(layers->begin(), end);
      }
      return step.status;
    };
  }
};

inline MappingStatus success() { return MappingStatus(StatusCode::Success, "Success."); }
inline MappingStatus error(const std::string& text) { return MappingStatus(StatusCode::Error, text); }

}  // namespace ornix::test
