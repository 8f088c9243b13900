#pragma once

#include <memory>
#include <vector>

#include "mapping/hardware_constraints.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix {

// Records the NP programs of mapped layers and reads learned variables back. Made by
// IpVersionSpecificHardwareBackend with its device and table, which outlive it. Throws
// std::runtime_error for what it cannot record.
class LayerRecorder {
 public:
  virtual ~LayerRecorder() = default;
  LayerRecorder(const LayerRecorder&) = delete;
  LayerRecorder& operator=(const LayerRecorder&) = delete;

  // The program of `layer` in a sequence whose first layer is `first_layer`. `next_pass_layer`:
  // the first layer of the next pass, or empty. `opens_pass` / `ends_pass`: the layer opens a
  // pass after another / ends a pass before another. `idle_nps` with `registers_only`: the
  // NPs of a pass that the layer leaves idle, to program with registers only.
  virtual std::unique_ptr<program::Record> record_layer(const Layer& layer, const Layer& first_layer,
                                                        std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
                                                        bool ends_pass, const std::vector<hw::Ident>& idle_nps,
                                                        bool registers_only, bool fnp_padding) const = 0;
  // The three records of a learning layer and its FNP memory size.
  virtual program::LearnRecordsPtr record_learning_layer(const Layer& layer, bool ib_spikes) const = 0;
  // Reads the variables the device learned back into the layer.
  virtual void sync_learning_vars(std::shared_ptr<Layer> layer) const = 0;

 protected:
  // Neither pointer is owned; both must outlive the recorder.
  LayerRecorder(const Device* device, const HardwareConstraints* constraints)
      : device(device), constraints(constraints) {}

  const Device* device;
  const HardwareConstraints* constraints;
};

}  // namespace ornix
