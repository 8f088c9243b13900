#include "inference.h"

#include <pybind11/stl.h>

#include <functional>
#include <limits>
#include <stdexcept>

#include "array_conversion.h"
#include "classification.h"
#include "conversion_messages.h"
#include "hardware/host_hooks.h"
#include "model_messages.h"
#include "ornix/hardware_device.h"
#include "soc_power.h"

namespace ornix::python {

namespace {

using EngineCall = std::function<std::shared_ptr<Dense>(std::shared_ptr<const Dense>)>;

std::shared_ptr<Dense> input_tensor(const Model& model, const py::array& inputs) {
  const py::dtype dtype = inputs.dtype();
  if (model.input_signed()) {
    if (dtype.equal(py::dtype::of<int8_t>())) return dense_from_int8_array(inputs, TensorType::int8);
    if (dtype.equal(py::dtype::of<int16_t>())) return dense_from_int16_array(inputs, TensorType::int16);
    throw std::invalid_argument(msg::kSignedInputDtype);
  }
  if (!dtype.equal(py::dtype::of<uint8_t>())) throw std::invalid_argument(msg::kUnsignedInputDtype);
  return dense_from_uint8_array(inputs, TensorType::uint8);
}

// Keeps the device's clock measurement on for the engine call, and turns it off even when the
// call fails.
class ClockMeasurement {
 public:
  explicit ClockMeasurement(HardwareDevice& device) : device_(device) { device_.set_busy(true); }
  ~ClockMeasurement() {
    if (on_) device_.set_busy(false);
  }
  void stop() {
    device_.set_busy(false);
    on_ = false;
  }
  ClockMeasurement(const ClockMeasurement&) = delete;
  ClockMeasurement& operator=(const ClockMeasurement&) = delete;

 private:
  HardwareDevice& device_;
  bool on_ = true;
};

std::shared_ptr<Dense> run_inference(PyModel& self, const py::array& inputs, const EngineCall& call) {
  if (self.model->layer_count() == 0) throw std::invalid_argument(msg::kNoLayersToRun);
  const std::shared_ptr<Dense> tensor = input_tensor(*self.model, inputs);
  self.power_events.clear();
  const uint32_t frames = tensor->shape()[0];
  const std::shared_ptr<Device> device = self.model->device();
  HardwareDevice* hardware = device ? device->hardware() : nullptr;
  auto& metrics = self.metrics.values;

  std::shared_ptr<Dense> output;
  int64_t start = 0;
  int64_t end = 0;
  if (hardware) {
    ClockMeasurement measurement(*hardware);
    const uint32_t clock_before = hardware->clock_counter();
    start = time_ms();
    output = call(tensor);
    end = time_ms();
    const uint32_t clock_after = hardware->clock_counter();
    measurement.stop();
    metrics["inference_clk"] = uint32_t(clock_after - clock_before);
    metrics["program_clk"] = hardware->program_clock_count();
    if (const std::shared_ptr<PowerMeter> meter = soc_power_meter(*hardware)) self.power_events = meter->events();
  } else {
    start = time_ms();
    output = call(tensor);
    end = time_ms();
  }
  metrics["inference_frames"] = frames;
  metrics["inference_start"] = start;
  metrics["inference_end"] = end;
  return output;
}

py::array run_to_numpy(PyModel& self, const py::array& inputs, const EngineCall& call) {
  return tensor_to_numpy(run_inference(self, inputs, call));
}

// The labels of a one-dimensional int32 array, in order.
std::vector<int32_t> label_values(const py::array& labels) {
  const auto view = labels.unchecked<int32_t, 1>();
  std::vector<int32_t> values(size_t(view.shape(0)));
  for (py::ssize_t i = 0; i < view.shape(0); ++i) values[size_t(i)] = view(i);
  return values;
}

}  // namespace

py::array forward(PyModel& self, const py::array& inputs, uint32_t batch_size) {
  Model& model = *self.model;
  return run_to_numpy(self, inputs, [&](auto tensor) { return model.forward(tensor, batch_size); });
}

py::array predict(PyModel& self, const py::array& inputs, uint32_t batch_size) {
  Model& model = *self.model;
  return run_to_numpy(self, inputs, [&](auto tensor) { return model.predict(tensor, batch_size); });
}

py::array fit(PyModel& self, const py::array& inputs, std::vector<int32_t> labels, uint32_t batch_size) {
  Model& model = *self.model;
  return run_to_numpy(self, inputs, [&](auto tensor) { return model.fit(tensor, labels, batch_size); });
}

std::vector<int32_t> labels_from_float(float label) {
  const double value = label;
  if (!(value >= double(std::numeric_limits<int32_t>::min()) && value <= double(std::numeric_limits<int32_t>::max())) ||
      double(int32_t(value)) != value) {
    throw py::type_error(msg::kLabelsNotIntegers);
  }
  return {int32_t(value)};
}

std::vector<int32_t> labels_from_array(const py::array& labels) {
  const py::module_ numpy = py::module_::import("numpy");
  if (!numpy.attr("issubdtype")(labels.dtype(), numpy.attr("integer")).cast<bool>()) {
    throw py::type_error(msg::kLabelsNotIntegers);
  }
  return labels.cast<std::vector<int32_t>>();
}

std::vector<int32_t> labels_from_list(const py::list& labels) {
  try {
    return labels.cast<std::vector<int32_t>>();
  } catch (const py::cast_error&) {
    throw py::type_error(msg::kLabelsNotIntegers);
  }
}

float evaluate(PyModel& self, const py::array& inputs, const py::array& labels, int64_t num_classes,
               uint32_t batch_size) {
  if (labels.ndim() != 1) throw std::invalid_argument(msg::kLabelsNot1D);
  if (inputs.ndim() < 1 || inputs.shape(0) != labels.shape(0)) throw std::invalid_argument(msg::kLabelsSize);
  if (!labels.dtype().equal(py::dtype::of<int32_t>())) throw std::invalid_argument(msg::kLabelsNotInt32);
  Model& model = *self.model;
  if (num_classes == 0 && model.layer_count() > 0) num_classes = model.output_shape()[2];

  const auto layers = model.layers();
  const bool activation = !layers.empty() && layers.back()->has_activation();
  const std::shared_ptr<Dense> output = run_inference(self, inputs, [&](auto tensor) {
    return activation ? model.forward(tensor, batch_size) : model.predict(tensor, batch_size);
  });
  return accuracy(predicted_classes(*output->ensure_dense(), num_classes), label_values(labels));
}

}  // namespace ornix::python
