#include "backend/v2/fnp_recording.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "backend/v2/conv2d_recording_messages.h"
#include "backend/v2/conv2d_register_builder.h"
#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/fnp_payloads.h"
#include "backend/v2/fnp_recording_messages.h"
#include "backend/v2/fnp_register_format.h"
#include "backend/v2/fnp_registers.h"
#include "backend/v2/np_block_routing.h"
#include "backend/v2/np_registers_format.h"
#include "hardware/mesh.h"
#include "program/register_field.h"

namespace ornix::v2 {

std::unique_ptr<program::Record> record_program_dense1d_layer(const Device& device,
                                                              const HardwareConstraints& constraints,
                                                              const Layer& layer, const Layer& reference,
                                                              std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                              bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                                              bool registers_only) {
  const bool flat_input = &reference == &layer;
  const Shape shape = get_fnp_input_dim(layer, flat_input);
  const auto input_shift = layer.variables().get("input_shift");
  const auto weights = layer.variables().get("weights");
  const bool activation = layer.has_activation();
  const LayerMapping& mapping = cnp_layer_mapping(layer);
  const MeshRoutingLists routing = mesh_routing_lists(mapping);
  if (mapping.nps->empty()) throw std::out_of_range(kMsgFnpNoNp);
  const hw::Component& np = mapping.nps->front();
  if (!np.allocation) throw std::invalid_argument(np_without_allocation_message(layer.name()));
  const uint8_t input_bits = layer.input_bits();
  const auto weights_bits = static_cast<uint8_t>(param_of(layer, "weights_bits"));
  const InputPadding padding = get_fnp_supported_padding(layer, flat_input);

  auto record = program::new_record(device.version());
  if (std::find(excluded_nps.begin(), excluded_nps.end(), np.ident) != excluded_nps.end()) return record;

  std::vector<uint32_t> block = default_np_regs(np, mapping.layer_id, registers_only, false);
  const NpRegisterBlock regs{block};
  format_fnp_registers(constraints, regs, np.type, input_bits, layer.output_bits(), activation, shape,
                       np.allocation->single_buffer, *weights, weights_bits, padding);
  set_field(&regs[fnp::kWordBits36], fnp::REG36_BIT28, 0);
  close_np_block(regs, mapping, routing, np.ident, alt_layer.get(), {ib_spikes, pr_flag, registers_only, false});
  const bool external_memory = np.type == hw::Type::FNP2;
  if (external_memory) {
    if (device.mesh() == nullptr) throw std::invalid_argument(kMsgFnp2WithoutMesh);
    format_mesh_cfg_dma_reg(regs, device.mesh()->dma_conf);
  }

  record->add_np_track(np.ident, dma::Target::NpRegisters, 0, block);
  record->add_np_track(np.ident, dma::Target::InputShifts, 0,
                       format_input_shift_fnp(*input_shift, shape, padding, input_bits));
  if (registers_only) return record;
  // Checked and sized first, then written straight into its track.
  const FnpRamImage image(layer, flat_input, padding, input_bits, weights_bits);
  const auto write_image = [&image](std::span<uint32_t> words) { image.write(words); };
  if (external_memory) {
    record->add_fnp2_filters_track(np.ident, image.words(), write_image);
  } else {
    record->add_np_track(np.ident, dma::Target::FnpRam, 0, image.words(), write_image);
  }
  return record;
}

}  // namespace ornix::v2
