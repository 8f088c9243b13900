#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ornix/layer_types.h"

namespace ornix {

// A layer's parameters: its LayerType and named signed 32-bit integers. Immutable once made.
class LayerParams {
 public:
  using Values = std::map<std::string, int32_t>;

  static std::unique_ptr<LayerParams> create(LayerType type, const Values& values);
  // A new, independently owned copy; std::invalid_argument for null.
  static std::unique_ptr<LayerParams> clone(const LayerParams* params);

  virtual ~LayerParams() = default;
  // The value of `key`; std::invalid_argument "Key <key> not found" when absent.
  virtual int32_t get(const std::string& key) const = 0;
  virtual bool has(const std::string& key) const = 0;
  // Every name, in ascending byte order.
  virtual std::vector<std::string> keys() const = 0;
  virtual LayerType layer_type() const = 0;
};

// A pooling stride as layers store it: a negative one (the stored default) is the pooling size.
inline constexpr int32_t kPoolStrideOfSize = -1;
inline int32_t effective_pool_stride(int32_t stride, int32_t size) { return stride < 0 ? size : stride; }

}  // namespace ornix
