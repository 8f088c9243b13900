#pragma once

// Every message text of the generation-1 NP register block writers (np_registers_format.h).
// A field that would overflow panics with hardware's kMsgFieldOverflowFormat; an empty routing
// list is refused with the shared mesh_column_range message.

namespace ornix::v1 {

inline constexpr const char* kMsgP2pMultipleNps = "Cannot use P2P mode for multiple NPs.";

}  // namespace ornix::v1
