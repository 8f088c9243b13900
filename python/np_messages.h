#pragma once

// Every message text of the NP submodule's bindings.

namespace ornix::python {

inline constexpr const char* kMsgSramSizeConstant = "SramSize_v1 and SramSize_v2 are constants and cannot be changed.";

}  // namespace ornix::python
