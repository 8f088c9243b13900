#pragma once

#include <memory>
#include <vector>

#include "hardware/power_meter.h"
#include "metrics.h"
#include "ornix/model.h"

namespace ornix::python {

// What a Python Model holds: the engine model (never null once constructed), the power events of
// its last inference and the figures its inferences record.
struct PyModel {
  std::unique_ptr<Model> model;
  std::vector<PowerMeter::PowerEvent> power_events;
  PyMetrics metrics;
};

}  // namespace ornix::python
