#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hardware/hw_type.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/ip_version.h"

namespace ornix {

// The user's choices for mapping onto one device: the largest share of a split convolution
// that one CNP may take, and the partial-reconfiguration option NP loop-itself. A subclass (the
// Python one) may override the two hooks to steer the mapping. Held by shared ownership; one
// object may serve several mappings and keeps its values between them. Not copyable (it is
// polymorphic and would slice).
class MapConstraints {
 public:
  // Keeps the device; the limits start at the device's defaults and loop-itself off.
  // std::invalid_argument for a null device.
  explicit MapConstraints(const std::shared_ptr<Device>& device);
  virtual ~MapConstraints() = default;
  MapConstraints(const MapConstraints&) = delete;
  MapConstraints& operator=(const MapConstraints&) = delete;

  // Called once each time a mapping attempt is about to place the layer on NPs, before it
  // reads the CNP limits: an override may change them for that layer. The base does nothing.
  virtual void next_layer_handler(const std::string& layer_name) const;
  // Chooses `num_nps` NPs of `type` among the free ones, given in the pool's preference order;
  // the mapping uses the result in order. The base takes the first min(num_nps, size) entries.
  virtual std::vector<hw::Ident> select_nps(const std::vector<hw::Ident>& source_nps, size_t num_nps,
                                            hw::Type type) const;

  std::shared_ptr<Device> device() const { return device_; }

  // Largest input width, height and filter count one CNP takes, each in [1, its default].
  uint32_t cnp_max_width() const { return cnp_max_width_; }
  uint32_t cnp_max_height() const { return cnp_max_height_; }
  uint32_t cnp_max_filters() const { return cnp_max_filters_; }
  // Per device: 32, 256, 512 on IP v1 (filters 504 on D3.00.00.02); 64, 256, 512 otherwise.
  uint32_t cnp_max_width_default() const { return cnp_max_width_default_; }
  uint32_t cnp_max_height_default() const { return cnp_max_height_default_; }
  uint32_t cnp_max_filters_default() const { return cnp_max_filters_default_; }
  bool hwpr_loopitself() const { return hwpr_loopitself_; }

  // Each accepts [1, default] and otherwise throws std::invalid_argument, keeping the value.
  void set_cnp_max_width(uint32_t value);
  void set_cnp_max_height(uint32_t value);
  void set_cnp_max_filters(uint32_t value);
  // true on an IP v1 device throws std::invalid_argument, keeping the option.
  void set_hwpr_loopitself(bool value);

 private:
  std::shared_ptr<Device> device_;
  uint32_t cnp_max_width_default_ = 0;
  uint32_t cnp_max_height_default_ = 0;
  uint32_t cnp_max_filters_default_ = 0;
  uint32_t cnp_max_width_ = 0;
  uint32_t cnp_max_height_ = 0;
  uint32_t cnp_max_filters_ = 0;
  bool hwpr_loopitself_ = false;
  IpVersion ip_version_ = IpVersion::none;  // 0x00/0xA1: v1, 0xA2: v2, other product ids: none
};

}  // namespace ornix
