#include "backend/v2/depthwise_recording.h"

#include <utility>

#include "backend/v2/cnp_conv_recording.h"

namespace ornix::v2 {

NpRegisterMap format_dwconv2d_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                        bool pr_flag, const std::vector<hw::Ident>& excluded_nps, bool registers_only,
                                        bool common_flag) {
  return format_cnp_conv_registers(kDepthwiseConv2DForm, layer, std::move(alt_layer), ib_spikes, pr_flag,
                                   excluded_nps, registers_only, common_flag);
}

std::unique_ptr<program::Record> record_program_dwconv2d_layer(const Device& device, const Layer& layer,
                                                               std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                               bool pr_flag,
                                                               const std::vector<hw::Ident>& excluded_nps,
                                                               bool registers_only, bool common_flag) {
  const NpRegisterMap blocks = format_dwconv2d_registers(layer, std::move(alt_layer), ib_spikes, pr_flag,
                                                         excluded_nps, registers_only, common_flag);
  return record_cnp_conv_layer(kDepthwiseConv2DForm, device, layer, blocks, registers_only);
}

}  // namespace ornix::v2
