#pragma once

#include <cstdint>

#include "ornix/dma/config_header.h"
#include "ornix/hw/ident.h"
#include "program_format/program_generated.h"

namespace ornix {

// The two words dma::format_config_header writes for that block header in the plain (not
// extra-large) form, word 0 first. Throws as dma::format_config_header does.
fb::ConfigHeader format_config_header_fb(const hw::Ident& ident, dma::Target target, uint32_t size, uint16_t address);

// An identifier without its channel byte, as the program stores NPs.
inline fb::Ident to_fb_ident(const hw::Ident& ident) { return fb::Ident(ident.col, ident.row, ident.id); }

}  // namespace ornix
