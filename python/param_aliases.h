#pragma once

#include <map>
#include <string>
#include <vector>

namespace ornix::python {

// Composite parameter names and the plain names they read, in order ("kernel_size" reads
// "kernel_width" then "kernel_height"). Built when the module's shared object is loaded, before
// the module exists; never changed afterwards.
extern const std::map<std::string, std::vector<std::string>> param_aliases;

}  // namespace ornix::python
