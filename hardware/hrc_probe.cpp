#include "hardware/hrc_probe.h"

#include <exception>
#include <vector>

#include "hardware/messages.h"
#include "ornix/layer.h"
#include "ornix/layer_params.h"
#include "ornix/panic.h"

namespace ornix {

namespace {

const LayerParams::Values kProbeParams = {
    {"input_width", 8},  {"input_height", 8},   {"input_channels", 1}, {"kernel_width", 3},
    {"kernel_height", 3}, {"padding", 1},        {"stride_x", 2},       {"stride_y", 2},
    {"filters", 1},       {"weights_bits", 1},   {"padding_value", 0},  {"activation", 1},
    {"act_bits", 1},      {"pooling_width", 2},  {"pooling_height", 2}, {"pool_type", 1},
    {"pooling_stride_x", 2}, {"pooling_stride_y", 2},
};

}  // namespace

std::unique_ptr<Model> build_hrc_probe_model(std::shared_ptr<Device> device) {
  auto model = Model::create();
  const auto params = LayerParams::create(LayerType::InputConvolutional, kProbeParams);
  const auto layer = Layer::create(params.get(), "inputconv");
  model->add(layer);
  const std::vector<int8_t> ones(9, 1);
  layer->variables().set("weights", Dense::copy(ones.data(), ones.size(), TensorType::int8, Shape{3, 3, 1, 1}));
  model->map(std::move(device), true, nullptr);
  return model;
}

std::shared_ptr<Tensor> get_constant_inputs(const Model& model) {
  const Shape input = model.input_shape();
  const uint64_t count = uint64_t{input[0]} * input[1] * input[2];
  if (input[0] == 0 || input[1] == 0 || input[2] == 0) panic("%s", kMsgZeroDimension);
  if (count > Shape::kMaxElements) {
    panic(kMsgTensorTooLargeFormat, static_cast<unsigned long>(count), static_cast<unsigned>(Shape::kMaxElements));
  }
  const std::vector<uint8_t> ones(count, 1);
  return Dense::copy(ones.data(), ones.size(), TensorType::uint8, Shape{1, input[0], input[1], input[2]});
}

bool hrc_check_timeout(std::shared_ptr<Device> device) {
  const auto model = build_hrc_probe_model(std::move(device));
  const auto inputs = get_constant_inputs(*model)->ensure_dense();
  try {
    model->forward(inputs, 0);
  } catch (const std::exception&) {
    return true;
  }
  return false;
}

}  // namespace ornix
