#include "backend/v2/conv2d_register_builder.h"

#include <utility>

namespace ornix::v2 {

NpRegisterMap format_conv2d_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                      bool pr_flag, const std::vector<hw::Ident>& excluded_nps, bool registers_only,
                                      bool common_flag) {
  return format_cnp_conv_registers(kConv2DForm, layer, std::move(alt_layer), ib_spikes, pr_flag, excluded_nps,
                                   registers_only, common_flag);
}

}  // namespace ornix::v2
