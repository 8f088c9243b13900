#include "mapping/map_constraints.h"

#include <algorithm>
#include <stdexcept>

#include "hardware/known_versions.h"
#include "mapping/limits.h"
#include "mapping/messages.h"

namespace ornix {

namespace {

CnpLimits default_cnp_limits(const HwVersion& version) {
  if (version.get_ip_version() != IpVersion::v1) return kCnpLimitsOther;
  CnpLimits limits = kCnpLimitsV1;
  if (version == kVamoV2) limits.filters = kCnpMaxFiltersD3_00_00_02;
  return limits;
}

void set_limit(uint32_t& current, uint32_t value, uint32_t default_value, const char* limit) {
  if (value < 1 || value > default_value) {
    throw std::invalid_argument(invalid_cnp_limit_message(limit, value, default_value));
  }
  current = value;
}

}  // namespace

MapConstraints::MapConstraints(const std::shared_ptr<Device>& device) : device_(device) {
  if (!device_) throw std::invalid_argument(kMsgInvalidConstraintsDevice);
  const HwVersion version = device_->version();
  ip_version_ = version.get_ip_version();
  const CnpLimits limits = default_cnp_limits(version);
  cnp_max_width_default_ = cnp_max_width_ = limits.width;
  cnp_max_height_default_ = cnp_max_height_ = limits.height;
  cnp_max_filters_default_ = cnp_max_filters_ = limits.filters;
}

void MapConstraints::next_layer_handler(const std::string&) const {}

std::vector<hw::Ident> MapConstraints::select_nps(const std::vector<hw::Ident>& source_nps, size_t num_nps,
                                                  hw::Type) const {
  const size_t count = std::min(num_nps, source_nps.size());
  return {source_nps.begin(), source_nps.begin() + static_cast<std::ptrdiff_t>(count)};
}

void MapConstraints::set_cnp_max_width(uint32_t value) {
  set_limit(cnp_max_width_, value, cnp_max_width_default_, "width");
}

void MapConstraints::set_cnp_max_height(uint32_t value) {
  set_limit(cnp_max_height_, value, cnp_max_height_default_, "height");
}

void MapConstraints::set_cnp_max_filters(uint32_t value) {
  set_limit(cnp_max_filters_, value, cnp_max_filters_default_, "filters");
}

void MapConstraints::set_hwpr_loopitself(bool value) {
  if (value && ip_version_ == IpVersion::v1) throw std::invalid_argument(kMsgLoopItselfNotOnV1);
  hwpr_loopitself_ = value;
}

}  // namespace ornix
