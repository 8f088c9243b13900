#pragma once

// Every message text of program assembly.

namespace ornix::program {

inline constexpr const char* kMsgNpProgramError = "Error generating NP program.";

}  // namespace ornix::program
