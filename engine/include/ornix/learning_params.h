#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ornix {

// The on-chip learning rule.
enum class LearningType : uint32_t {
  // Keys: "num_weights", "num_classes", "initial_plasticity", "learning_competition",
  // "min_plasticity", "plasticity_decay".
  Unsupervised = 0,
};

// Learning parameters of a model's last layer: a LearningType and named doubles. Immutable once
// made; held by shared ownership (a FullyConnected layer refers to them weakly).
class LearningParams {
 public:
  using Values = std::map<std::string, double>;

  // std::invalid_argument for a type that is not a LearningType member. The values are checked
  // against the layer when a model is compiled with them.
  static std::shared_ptr<LearningParams> create(LearningType type, const Values& values);
  // A new, independently owned copy; std::invalid_argument for null.
  static std::shared_ptr<LearningParams> clone(const LearningParams* params);

  virtual ~LearningParams() = default;
  // The value of `key`; std::invalid_argument "Key <key> not found" when absent.
  virtual double get(const std::string& key) const = 0;
  // Every name, in ascending byte order.
  virtual std::vector<std::string> keys() const = 0;
  virtual LearningType learning_type() const = 0;
};

}  // namespace ornix
