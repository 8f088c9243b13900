#include "ornix/learning_params.h"

#include <stdexcept>

#include "layer_messages.h"

namespace ornix {

namespace {

class LearningParamsImpl final : public LearningParams {
 public:
  LearningParamsImpl(LearningType type, Values values) : type_(type), values_(std::move(values)) {}

  double get(const std::string& key) const override {
    const auto found = values_.find(key);
    if (found == values_.end()) throw std::invalid_argument(msg::key_not_found(key));
    return found->second;
  }
  std::vector<std::string> keys() const override {
    std::vector<std::string> keys;
    keys.reserve(values_.size());
    for (const auto& entry : values_) keys.push_back(entry.first);
    return keys;
  }
  LearningType learning_type() const override { return type_; }

 private:
  LearningType type_;
  Values values_;
};

}  // namespace

std::shared_ptr<LearningParams> LearningParams::create(LearningType type, const Values& values) {
  return std::make_shared<LearningParamsImpl>(type, values);
}

std::shared_ptr<LearningParams> LearningParams::clone(const LearningParams* params) {
  if (params == nullptr) throw std::invalid_argument(msg::kNullLearningParams);
  Values values;
  for (const std::string& key : params->keys()) values.emplace(key, params->get(key));
  return create(params->learning_type(), values);
}

}  // namespace ornix
