#include "param_aliases.h"

#include <array>

namespace ornix::python {

namespace {

struct Alias {
  const char* name;
  std::array<const char*, 2> plain_names;
};

constexpr std::array<Alias, 4> kAliases = {{
    {"kernel_size", {"kernel_width", "kernel_height"}},
    {"kernel_stride", {"stride_x", "stride_y"}},
    {"pool_size", {"pooling_width", "pooling_height"}},
    {"pool_stride", {"pooling_stride_x", "pooling_stride_y"}},
}};

std::map<std::string, std::vector<std::string>> init_param_aliases() {
  std::map<std::string, std::vector<std::string>> aliases;
  for (const Alias& alias : kAliases) {
    aliases.emplace(alias.name, std::vector<std::string>(alias.plain_names.begin(), alias.plain_names.end()));
  }
  return aliases;
}

}  // namespace

const std::map<std::string, std::vector<std::string>> param_aliases = init_param_aliases();

}  // namespace ornix::python
