#include "backend/v1/fnp_recording.h"

#include <algorithm>
#include <span>
#include <utility>

#include "backend/v1/fnp_ram_format.h"
#include "backend/v1/fnp_register_format.h"
#include "ornix/dma/config_header.h"

namespace ornix::v1 {

std::unique_ptr<program::Record> record_program_dense_layer(const Device& device, const Layer& layer,
                                                            std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                            bool route_flag, const std::vector<hw::Ident>& skip_nps,
                                                            bool registers_only) {
  const hw::Component& np = mapped_fnp(layer);
  auto record = program::new_record(device.version());
  if (std::find(skip_nps.begin(), skip_nps.end(), np.ident) != skip_nps.end()) return record;

  const auto regs = format_fnp_regs(device, layer, false, std::move(reconfig_layer), ib_spikes, route_flag);
  record->add_np_track(np.ident, dma::Target::NpRegisters, 0, regs.at(np.ident));
  if (registers_only) return record;

  record_fnp_image(*record, np, layer);
  return record;
}

void record_fnp_image(program::Record& record, const hw::Component& np, const Layer& layer,
                      const std::function<void(std::span<uint32_t> image)>& patch) {
  const Variables& variables = layer.variables();
  const auto steps = get_threshold_t16_from_act_steps(*variables.get("act_step"));
  const auto weights = variables.get("weights");
  const auto threshold = variables.get("threshold");
  const int bits = param_of(layer, "weights_bits");
  const size_t words = fnp_ram_words(*weights, bits);
  const auto write_image = [&](std::span<uint32_t> image) {
    write_fnp_ram(image, *weights, *threshold, *steps, bits, layer.has_activation());
    if (patch) patch(image);
  };
  if (np.type == hw::Type::FNP2) {
    record.add_fnp2_filters_track(np.ident, words, write_image);
  } else {
    record.add_np_track(np.ident, dma::Target::FnpRam, 0, words, write_image);
  }
}

}  // namespace ornix::v1
