#include "ornix/learning_params.h"

#include <stdexcept>
#include <utility>

#include "layer_messages.h"
#include "learning_messages.h"
#include "named_values.h"

namespace ornix {

namespace {

class LearningParamsImpl final : public LearningParams {
 public:
  LearningParamsImpl(LearningType type, Values values) : type_(type), values_(std::move(values)) {}

  double get(const std::string& key) const override { return value_of(values_, key); }
  std::vector<std::string> keys() const override { return names_of(values_); }
  LearningType learning_type() const override { return type_; }

 private:
  LearningType type_;
  Values values_;
};

}  // namespace

std::shared_ptr<LearningParams> LearningParams::create(LearningType type, const Values& values) {
  if (type != LearningType::Unsupervised) {
    throw std::invalid_argument(msg::unknown_learning_type(static_cast<uint32_t>(type)));
  }
  return std::make_shared<LearningParamsImpl>(type, values);
}

std::shared_ptr<LearningParams> LearningParams::clone(const LearningParams* params) {
  if (params == nullptr) throw std::invalid_argument(msg::kNullLearningParams);
  Values values;
  for (const std::string& key : params->keys()) values.emplace(key, params->get(key));
  return create(params->learning_type(), values);
}

}  // namespace ornix
