#include "device_inference.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "array_conversion.h"
#include "conversion_messages.h"
#include "device_messages.h"
#include "hardware/host_hooks.h"
#include "ornix/panic.h"
#include "soc_power.h"

namespace ornix::python {

namespace {

// Ends a run that the engine did not complete: the device is neither left busy nor left
// expecting the declared frames.
class RunGuard {
 public:
  explicit RunGuard(HardwareDevice& hardware) : hardware_(hardware) {}
  ~RunGuard() {
    if (done_) return;
    try {
      hardware_.set_busy(false);
      hardware_.prepare_run(0, false);
    } catch (...) {  // the run's own error is the one the caller sees
    }
  }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;
  void done() { done_ = true; }

 private:
  HardwareDevice& hardware_;
  bool done_ = false;
};

struct OutputElement {
  const char* dtype;
  size_t size;
};

OutputElement output_element(TensorType type) {
  switch (type) {
    case TensorType::int32: return {"int32", 4};
    case TensorType::float32: return {"float32", 4};
    case TensorType::int8: return {"int8", 1};
    case TensorType::uint8:
    case TensorType::uint4:
    case TensorType::uint2:
    case TensorType::bit: return {"uint8", 1};
    default: throw std::runtime_error(msg::kOutputType);
  }
}

// One array of shape (M, d0, d1, d2) holding the M outputs' bytes one after another.
py::array stack_outputs(HardwareDevice::Outputs& outputs) {
  if (outputs.empty()) return py::array(py::dtype("float64"), std::vector<py::ssize_t>{0});
  const std::shared_ptr<Dense> first = outputs.front()->ensure_dense();
  const Shape& dims = first->shape();
  const Shape shape{static_cast<uint32_t>(outputs.size()), dims.size() > 0 ? dims[0] : 0,
                    dims.size() > 1 ? dims[1] : 0, dims.size() > 2 ? dims[2] : 0};
  for (const uint32_t dim : shape) {
    if (dim == 0) panic("%s", msg::kZeroDimension);
  }
  const OutputElement element = output_element(first->type());
  const size_t frame_bytes = size_t{shape[1]} * shape[2] * shape[3] * element.size;
  std::vector<py::ssize_t> byte_strides;
  for (const uint32_t stride : Dense::eval_strides(shape, Layout::RowMajor)) {
    byte_strides.push_back(static_cast<py::ssize_t>(stride * element.size));
  }
  py::array result(py::dtype(element.dtype), std::vector<py::ssize_t>(shape.begin(), shape.end()), byte_strides);
  auto* out = static_cast<uint8_t*>(result.mutable_data());
  for (size_t i = 0; i < outputs.size(); ++i) {
    const std::shared_ptr<Dense> dense = i == 0 ? first : outputs[i]->ensure_dense();
    // Every output fills exactly one slot of the array: never more, never a partial one.
    if (dense->type() != first->type() || dense->byte_size() != frame_bytes) throw std::runtime_error(msg::kOutputSize);
    std::memcpy(out + i * frame_bytes, dense->buffer(), frame_bytes);
  }
  return result;
}

void record_power_events(PyHardwareDevice& self) {
  if (const std::shared_ptr<PowerMeter> meter = soc_power_meter(*self.hardware())) self.power_events = meter->events();
}

std::vector<int32_t> label_from_float(float label) {
  // Outside the int32 range the truncation itself would be undefined.
  const bool in_range = std::isfinite(label) && label >= -2147483648.0F && label < 2147483648.0F;
  if (!in_range || static_cast<float>(static_cast<int32_t>(label)) != label) {
    throw py::value_error(msg::kLabelsNotIntegers);
  }
  return {static_cast<int32_t>(label)};
}

std::vector<int32_t> labels_from_array(const py::array& labels) {
  try {
    return labels_to_int_vector(labels);
  } catch (const py::cast_error&) {
    throw py::value_error(msg::kLabelsNotIntegers);
  } catch (const std::invalid_argument&) {
    throw py::value_error(msg::kLabelsNotIntegers);
  }
}

std::vector<int32_t> labels_from_list(const py::list& labels) {
  std::vector<int32_t> values;
  values.reserve(labels.size());
  for (const py::handle label : labels) {
    try {
      values.push_back(label.cast<int32_t>());
    } catch (const py::cast_error&) {
      throw py::value_error(msg::kLabelsNotIntegers);
    }
  }
  return values;
}

constexpr const char* kFitDoc = "Learn from inputs on a programmed device.";

}  // namespace

py::array process_inputs(PyHardwareDevice& self, const py::handle& inputs, const std::vector<int32_t>& labels,
                         RunMode mode) {
  const std::shared_ptr<Dense> tensor = dense_from_uint8_array(inputs, TensorType::uint8);
  const Shape& shape = tensor->shape();
  if (shape.size() != 2 && shape.size() != 4) throw std::runtime_error(msg::kInputDimensions);
  // Checked before the run is declared, so that a wrong call leaves the device as it was.
  if (mode == RunMode::Fit && labels.size() > 1 && labels.size() != shape[0]) {
    throw std::runtime_error(msg::kLabelCount);
  }
  const std::vector<std::shared_ptr<Dense>> split = tensor->split();
  const HardwareDevice::Frames frames(split.begin(), split.end());
  HardwareDevice& hardware = *self.hardware();

  hardware.prepare_run(static_cast<uint32_t>(frames.size()), true);
  hardware.set_busy(true);
  RunGuard guard(hardware);
  const uint32_t start_clock = hardware.clock_counter();
  const int64_t start = time_ms();
  HardwareDevice::Outputs outputs;
  switch (mode) {
    case RunMode::Fit: outputs = hardware.fit(frames, labels); break;
    case RunMode::Forward: outputs = hardware.forward(frames); break;
    case RunMode::Predict: outputs = hardware.predict(frames); break;
  }
  const int64_t end = time_ms();
  const uint32_t end_clock = hardware.clock_counter();
  hardware.set_busy(false);
  guard.done();

  auto& metrics = self.metrics.values;
  metrics["inference_frames"] = static_cast<int64_t>(frames.size());
  metrics["inference_clk"] = static_cast<uint32_t>(end_clock - start_clock);  // the counter wraps
  metrics["inference_start"] = start;
  metrics["inference_end"] = end;
  record_power_events(self);
  return stack_outputs(outputs);
}

void register_device_inference(py::class_<PyHardwareDevice, Device, py::smart_holder>& device) {
  device
      .def(
          "fit",
          [](PyHardwareDevice& self, const py::object& inputs, float input_labels) {
            return process_inputs(self, inputs, label_from_float(input_labels), RunMode::Fit);
          },
          py::arg("inputs"), py::arg("input_labels"), kFitDoc)
      .def(
          "fit",
          [](PyHardwareDevice& self, const py::object& inputs, const py::array& input_labels) {
            return process_inputs(self, inputs, labels_from_array(input_labels), RunMode::Fit);
          },
          py::arg("inputs"), py::arg("input_labels"), kFitDoc)
      .def(
          "fit",
          [](PyHardwareDevice& self, const py::object& inputs, const py::list& input_labels) {
            return process_inputs(self, inputs, labels_from_list(input_labels), RunMode::Fit);
          },
          py::arg("inputs"), py::arg("input_labels") = py::list(), kFitDoc)
      .def(
          "forward",
          [](PyHardwareDevice& self, const py::object& inputs) {
            return process_inputs(self, inputs, {}, RunMode::Forward);
          },
          "\n           Processes inputs on a programmed device.\n\n           :param inputs: ``numpy.ndarray`` with "
          "shape matching current program\n\n           :return: ``numpy.ndarray`` with outputs from the device\n"
          "          ")
      .def(
          "predict",
          [](PyHardwareDevice& self, const py::object& inputs) {
            return process_inputs(self, inputs, {}, RunMode::Predict);
          },
          "\n           Processes inputs on a programmed device, returns a float array.\n\n           :param inputs: "
          "``numpy.ndarray`` with shape matching current program\n\n           :return: ``numpy.ndarray`` with "
          "float outputs from the device\n          ");
}

}  // namespace ornix::python
