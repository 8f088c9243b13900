#pragma once

namespace ornix {

// The engine library's version text.
const char* version();

}  // namespace ornix
