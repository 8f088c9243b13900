#include "program/config_header_fb.h"

namespace ornix {

fb::ConfigHeader format_config_header_fb(const hw::Ident& ident, dma::Target target, uint32_t size, uint16_t address) {
  uint32_t words[dma::kHeaderWords] = {};
  dma::format_config_header(words, ident, target, size, address, false);
  return fb::ConfigHeader(words[0], words[1]);
}

}  // namespace ornix
