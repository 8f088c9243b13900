#pragma once

// The program of an InputConv2D layer on the input NP (HRC): its configuration registers, the
// loads of its SRAMs (weights per colour plane, lookup table, activation parameters) and the
// start pulse, every block addressed to the all-zero ident.

#include <cstdint>
#include <memory>
#include <vector>

#include "backend/v2/hrc_registers.h"
#include "ornix/device.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix::v2 {

// Loads one HRC SRAM: the select word with `select`'s bit set (one of HRC_SRAM_SELECT_*), as a
// register write at 0x20, then `data` as an SRAM load (target 9) at 0x28. An empty `data` adds
// nothing. `record` is borrowed.
void record_hrc_register_tracks(program::Record* record, const RegDetail& select, const std::vector<uint32_t>& data);

// A new record for `device`'s version holding, in order: the five configuration words at 8
// with the loading bit set; the R, G and B weight SRAMs; for a lookup-table activation the
// table ("lut_values", 2048 values); the activation parameters (those of the lookup table for a
// lookup-table activation); configuration word 0 again with the loading bit cleared; then 1 and
// 0 at address 0.
// The layer must have passed check_input_conv2d_constraints, and must be built (else
// std::runtime_error "The layer <name> has no convolution parameters."). Every register is
// checked before any block is added (format_hrc_registers lists the failures; average pooling,
// which the check admits, fails here with "Wrong pooling at HRC recording."); failures of the
// SRAM packers (hrc_sram_words.h) and of the engine's accessors pass through. No record is
// returned on failure.
std::unique_ptr<program::Record> record_program_input_conv2d_layer(const Device& device, const Layer& layer);

}  // namespace ornix::v2
