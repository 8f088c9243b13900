#include "backend/v2/mesh_idents.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "backend/v2/np_register_messages.h"
#include "backend/v2/register_format_limits.h"

namespace ornix::v2 {

uint32_t one_hot_id(uint8_t id) { return id < 32 ? uint32_t{1} << id : std::numeric_limits<uint32_t>::max(); }

std::pair<uint8_t, uint8_t> mesh_column_range(const std::vector<hw::Component>& components) {
  if (components.empty()) throw std::invalid_argument(kMsgEmptyRoutingList);
  if (components.size() == 1 && components.front().type == hw::Type::HRC) return {kHrcOnlyColumn, kHrcOnlyColumn};
  const auto [low, high] = std::minmax_element(
      components.begin(), components.end(),
      [](const hw::Component& a, const hw::Component& b) { return a.ident.col < b.ident.col; });
  return {low->ident.col, high->ident.col};
}

}  // namespace ornix::v2
