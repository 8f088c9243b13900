#pragma once

// The program of an InputConvolutional layer on the generation-1 HRC: register writes (target
// 8) and SRAM loads (target 9), every block addressed to the all-zero ident. Addresses and
// fields in hrc_registers.h.

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/device.h"
#include "ornix/layer.h"
#include "program/record.h"
#include "program/register_field.h"

namespace ornix::v1 {

// Words of the layer's HRC SRAMs: its R, G and B weight planes ("weights") and its
// threshold/step table ("threshold", "act_step"), rounded up to a multiple of 16 when a block
// that size needs the extra-large DMA header. The packers' failures pass through.
uint32_t get_hrc_sram_size(const Layer& layer);

// Loads one SRAM: the select word with `select` set (one of HRC_SRAM_SELECT_*) and a zero word,
// written at kHrcSramSelectAddress, then `data` at kHrcSramDataAddress. Empty `data` adds
// nothing. `record` is borrowed.
void record_hrc_sram(program::Record* record, const RegDetail& select, const std::vector<uint32_t>& data);

// A new record for `device`'s version holding, in the order the device receives them: the
// configuration words (format_hrc_regs) with the loading bit set; the R, G and B weight planes
// and the threshold/step table; configuration word 0 with the loading bit cleared; 1 then 0 at
// the start address. The layer must be an InputConvolutional (std::bad_cast otherwise) and be
// built (std::runtime_error "The layer <name> is not built." before anything is recorded). The
// failures of format_hrc_regs, the weight packer and format_hrc_threshold_steps pass through,
// and no record is returned then.
std::unique_ptr<program::Record> record_program_hrc_layer(const Device& device, const Layer& layer);

}  // namespace ornix::v1
