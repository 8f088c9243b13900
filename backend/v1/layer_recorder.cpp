#include "backend/v1/layer_recorder.h"

#include <stdexcept>
#include <utility>

#include "backend/v1/cnp_recording.h"
#include "backend/v1/fnp_learning_recording.h"
#include "backend/v1/fnp_recording.h"
#include "backend/v1/fnp_register_format.h"
#include "backend/v1/hrc_recording.h"
#include "backend/v2/recorder_messages.h"
#include "hardware/component.h"

namespace ornix::v1 {

std::unique_ptr<program::Record> LayerRecorderImpl::record_layer(const Layer& layer, const Layer&,
                                                                 std::shared_ptr<Layer> next_pass_layer,
                                                                 bool opens_pass, bool ends_pass,
                                                                 const std::vector<hw::Ident>& idle_nps,
                                                                 bool registers_only, bool) const {
  const LayerType type = layer.params()->layer_type();
  switch (type) {
    case LayerType::InputConvolutional:
      return record_program_hrc_layer(*device, layer);
    case LayerType::FullyConnected:
      return record_program_dense_layer(*device, layer, std::move(next_pass_layer), opens_pass, ends_pass, idle_nps,
                                        registers_only);
    case LayerType::Convolutional:
      return record_program_conv_layer(*device, layer, std::move(next_pass_layer), opens_pass, ends_pass, idle_nps,
                                       registers_only);
    case LayerType::SeparableConvolutional:
      return record_program_sep_conv_layer(*device, layer, std::move(next_pass_layer), opens_pass, ends_pass,
                                           idle_nps, registers_only);
    default:
      throw std::runtime_error(v2::unsupported_layer_type(static_cast<uint32_t>(type)));
  }
}

program::LearnRecordsPtr LayerRecorderImpl::record_learning_layer(const Layer& layer, bool ib_spikes) const {
  return record_program_learning_dense_layer(*device, layer, ib_spikes);
}

void LayerRecorderImpl::sync_learning_vars(std::shared_ptr<Layer> layer) const {
  auto& variables = dynamic_cast<VariablesImpl&>(layer->variables());
  const hw::Component& np = mapped_fnp(*layer);
  fnp_update_learn_vars(device->hardware(), &variables, np.type == hw::Type::FNP3);
}

}  // namespace ornix::v1
