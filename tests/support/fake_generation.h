#pragma once

// Fakes of one generation's four strategy objects and of the factory that makes them. Each fake
// answers through functions the test may replace (by default: accept, fit, empty records) and
// writes its creation and destruction to a shared event log, e.g. "v1 checker made".

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "mapping/compatibility_checker.h"
#include "mapping/io_recorder.h"
#include "mapping/layer_recorder.h"
#include "mapping/memory_sizer.h"
#include "mapping/strategy_factory.h"
#include "ornix/shape.h"
#include "program/record.h"

namespace ornix::test {

using EventLog = std::vector<std::string>;

// Logs "<tag> <role> made" on construction and "<tag> <role> destroyed" on destruction.
class LoggedLife {
 public:
  LoggedLife(std::shared_ptr<EventLog> log, std::string name) : log_(std::move(log)), name_(std::move(name)) {
    log_->push_back(name_ + " made");
  }
  ~LoggedLife() { log_->push_back(name_ + " destroyed"); }
  LoggedLife(const LoggedLife&) = delete;
  LoggedLife& operator=(const LoggedLife&) = delete;

 private:
  std::shared_ptr<EventLog> log_;
  std::string name_;
};

class FakeChecker final : public CompatibilityChecker {
 public:
  // The answers; every input and weight fit is accepted.
  struct Behaviour {
    std::function<LayerMappingStatus(const Layer&, const Layer*)> compatibility = [](const Layer& layer,
                                                                                    const Layer*) {
      return LayerMappingStatus(layer);
    };
    std::function<LayerMappingStatus(LayerIterator, LayerIterator)> sequence = [](LayerIterator, LayerIterator) {
      return LayerMappingStatus("");
    };
    std::function<LayerMappingStatus(const Layer&, const std::vector<hw::Component>&)> mappings =
        [](const Layer& layer, const std::vector<hw::Component>&) { return LayerMappingStatus(layer); };
    std::function<NpSplitParams(hw::Type, const LayerParams&)> split_params = [](hw::Type, const LayerParams&) {
      return NpSplitParams{};
    };
    // Sees the table it is given, to tell the checker's own table from another.
    std::function<bool(const HardwareConstraints&, const Layer&)> fnp3_fits = [](const HardwareConstraints&,
                                                                                 const Layer&) { return true; };
  };

  FakeChecker(const Device& device, const HardwareConstraints& constraints, Behaviour behaviour,
              std::shared_ptr<EventLog> log, const std::string& tag)
      : CompatibilityChecker(&device, &constraints), behaviour(std::move(behaviour)), life_(log, tag + " checker") {}

  LayerMappingStatus check_layer_compatibility(const Layer& layer, const Layer* inbound, HwVersion) const override {
    return behaviour.compatibility(layer, inbound);
  }
  LayerMappingStatus check_layer_sequence(LayerIterator first, LayerIterator last, HwVersion) const override {
    return behaviour.sequence(first, last);
  }
  LayerMappingStatus check_layer_mappings(const Layer& layer,
                                          const std::vector<hw::Component>& components) const override {
    return behaviour.mappings(layer, components);
  }
  bool is_sram_input_fit_single_buffer(hw::Type, uint32_t, uint32_t, uint32_t, uint32_t, uint8_t,
                                       uint32_t) const override {
    return true;
  }
  bool is_sram_input_fit_dual_buffer(hw::Type, uint32_t, uint32_t, uint32_t, uint32_t, uint8_t,
                                     uint32_t) const override {
    return true;
  }
  bool is_weights_size_fit_np(const Layer&, uint32_t) const override { return true; }
  NpSplitParams np_split_params(hw::Type type, const LayerParams& params) const override {
    return behaviour.split_params(type, params);
  }
  bool check_fnp3_sram_size(const HardwareConstraints& table, const Layer& layer) const override {
    return behaviour.fnp3_fits(table, layer);
  }

  const HardwareConstraints* table_given() const { return constraints; }

  Behaviour behaviour;

 private:
  LoggedLife life_;
};

// Input figures are `bytes`, weight figures 2 x `bytes`, external figures 3 x `bytes` plus 1
// for a dual-output store and plus 2 in a sequence of several passes. With `fails` every query
// throws std::runtime_error("sizer failed"). The input layer of each input query is kept.
class FakeMemorySizer final : public MemorySizer {
 public:
  FakeMemorySizer(uint32_t bytes, bool fails, std::shared_ptr<EventLog> log, const std::string& tag)
      : bytes(bytes), fails(fails), life_(std::move(log), tag + " memory sizer") {}

  uint32_t get_input_memory_size(const std::shared_ptr<Layer>&, const hw::Component&,
                                 const std::shared_ptr<Layer>& input) const override {
    check();
    inputs_seen.push_back(input.get());
    return bytes;
  }
  uint32_t get_weight_memory_size(const std::shared_ptr<Layer>&, const hw::Component&) const override {
    check();
    return 2 * bytes;
  }
  uint32_t get_external_memory_size(const std::shared_ptr<Layer>&, const hw::Component&, bool dual_output,
                                    bool several_passes) const override {
    check();
    return 3 * bytes + (dual_output ? 1 : 0) + (several_passes ? 2 : 0);
  }

  uint32_t bytes;
  bool fails;
  mutable std::vector<const Layer*> inputs_seen;

 private:
  void check() const {
    if (fails) throw std::runtime_error("sizer failed");
  }
  LoggedLife life_;
};

// What record_scc and record_epg were given.
struct SccCall {
  bool input_on_hrc;
  bool input_type_is_0;
  bool hrc_only;
  bool output_type_is_0;
  bool output_bits;
  Shape input_shape;
  Shape output_shape;
};
struct EpgCall {
  const Layer* layer;
  uint8_t col_low;
  uint8_t col_high;
  uint8_t epg_byte;
  bool hrc_only;
  bool several_passes;
  bool input_type_is_0;
};

// Records are empty, for the device's version, and there are no EPG values, unless the test
// sets the hooks; the input type code is 0, the output type code the field below. Calls of record_scc
// and record_epg are kept in order.
class FakeIoRecorder final : public IoRecorder {
 public:
  FakeIoRecorder(const Device& device, std::shared_ptr<EventLog> log, const std::string& tag)
      : IoRecorder(&device), life_(std::move(log), tag + " I/O recorder") {}

  std::unique_ptr<program::Record> record_scc(bool input_on_hrc, bool input_type_is_0, bool hrc_only,
                                              bool output_type_is_0, bool output_bits, Shape input_shape,
                                              Shape output_shape) const override {
    scc_calls.push_back(
        {input_on_hrc, input_type_is_0, hrc_only, output_type_is_0, output_bits, input_shape, output_shape});
    return scc_program ? scc_program() : program::new_record(device->version());
  }
  std::unique_ptr<RegisterWrites> record_epg(const Layer& layer, uint8_t col_low, uint8_t col_high, uint8_t epg_byte,
                                             bool hrc_only, bool several_passes,
                                             bool input_type_is_0) const override {
    epg_calls.push_back({&layer, col_low, col_high, epg_byte, hrc_only, several_passes, input_type_is_0});
    return std::make_unique<RegisterWrites>(epg_values);
  }
  int8_t get_input_type(const Layer&) const override { return 0; }
  int8_t get_output_type(const Layer&, int8_t) const override { return output_type; }

  std::function<std::unique_ptr<program::Record>()> scc_program;
  RegisterWrites epg_values;
  int8_t output_type = 0;
  mutable std::vector<SccCall> scc_calls;
  mutable std::vector<EpgCall> epg_calls;

 private:
  LoggedLife life_;
};

// What record_layer was given.
struct RecordLayerCall {
  const Layer* layer;
  const Layer* first_layer;
  std::shared_ptr<Layer> next_pass_layer;
  bool opens_pass;
  bool ends_pass;
  std::vector<hw::Ident> idle_nps;
  bool registers_only;
  bool fnp_padding;
};

// Records are empty, for the device's version, unless the test sets the hooks;
// sync_learning_vars logs "sync <layer name>".
class FakeLayerRecorder final : public LayerRecorder {
 public:
  FakeLayerRecorder(const Device& device, const HardwareConstraints& constraints, std::shared_ptr<EventLog> log,
                    const std::string& tag)
      : LayerRecorder(&device, &constraints), log_(log), life_(std::move(log), tag + " layer recorder") {}

  std::unique_ptr<program::Record> record_layer(const Layer& layer, const Layer& first_layer,
                                                std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
                                                bool ends_pass, const std::vector<hw::Ident>& idle_nps,
                                                bool registers_only, bool fnp_padding) const override {
    if (!layer_program) return program::new_record(device->version());
    return layer_program({&layer, &first_layer, std::move(next_pass_layer), opens_pass, ends_pass, idle_nps,
                          registers_only, fnp_padding});
  }
  program::LearnRecordsPtr record_learning_layer(const Layer& layer, bool ib_spikes) const override {
    if (learning_program) return learning_program(layer, ib_spikes);
    return {program::new_record(device->version()), program::new_record(device->version()),
            program::new_record(device->version()), 0};
  }
  void sync_learning_vars(std::shared_ptr<Layer> layer) const override { log_->push_back("sync " + layer->name()); }

  std::function<std::unique_ptr<program::Record>(const RecordLayerCall&)> layer_program;
  std::function<program::LearnRecordsPtr(const Layer&, bool)> learning_program;

 private:
  std::shared_ptr<EventLog> log_;
  LoggedLife life_;
};

// Makes the four fakes, tagged with the generation's name, all logging to `log`. Each factory
// step may be made to throw (to follow clean-up on a failed construction).
class FakeGeneration final : public StrategyFactory {
 public:
  explicit FakeGeneration(std::string tag, std::shared_ptr<EventLog> shared_log = std::make_shared<EventLog>())
      : tag(std::move(tag)), log(std::move(shared_log)) {}

  std::unique_ptr<CompatibilityChecker> make_checker(const Device& device,
                                                     const HardwareConstraints& constraints) const override {
    return std::make_unique<FakeChecker>(device, constraints, checker, log, tag);
  }
  std::unique_ptr<MemorySizer> make_memory_sizer() const override {
    return std::make_unique<FakeMemorySizer>(memory_bytes, memory_sizer_fails, log, tag);
  }
  std::unique_ptr<IoRecorder> make_io_recorder(const Device& device) const override {
    if (io_recorder_fails) throw std::runtime_error("no I/O recorder");
    auto recorder = std::make_unique<FakeIoRecorder>(device, log, tag);
    recorder->scc_program = scc_program;
    return recorder;
  }
  std::unique_ptr<LayerRecorder> make_layer_recorder(const Device& device,
                                                     const HardwareConstraints& constraints) const override {
    auto recorder = std::make_unique<FakeLayerRecorder>(device, constraints, log, tag);
    recorder->layer_program = layer_program;
    return recorder;
  }

  std::string tag;
  std::shared_ptr<EventLog> log;
  FakeChecker::Behaviour checker;  // given to each checker made
  uint32_t memory_bytes = 0;
  bool memory_sizer_fails = false;
  // Given to each recorder made.
  std::function<std::unique_ptr<program::Record>()> scc_program;
  std::function<std::unique_ptr<program::Record>(const RecordLayerCall&)> layer_program;
  bool io_recorder_fails = false;
};

}  // namespace ornix::test
