#include "backend/v1/fnp_learning_registers.h"

#include <cmath>
#include <cstdint>

#include "backend/v1/np_registers.h"
#include "program/register_field.h"

namespace ornix::v1 {

namespace {

// A whole double as the 32-bit value the fields are checked against: negative values wrap
// as two's complement, values outside the 32-bit range give 0xFFFFFFFF (never a valid field).
uint32_t field_value(double whole) {
  if (!(whole >= static_cast<double>(INT32_MIN) && whole <= static_cast<double>(UINT32_MAX))) return UINT32_MAX;
  return static_cast<uint32_t>(static_cast<int64_t>(whole));
}

}  // namespace

LearningFieldValues learning_field_values(const LearningParams& params) {
  const double num_weights = params.get("num_weights");
  const double initial_plasticity = params.get("initial_plasticity");
  const double learning_competition = params.get("learning_competition");
  const double min_plasticity = params.get("min_plasticity");
  const double plasticity_decay = params.get("plasticity_decay");
  const double initial = field_value(std::round(num_weights * initial_plasticity));
  return {field_value(std::round((1.0 - learning_competition) * num_weights)),
          field_value(std::ceil(num_weights * min_plasticity)), field_value(std::ceil(initial * plasticity_decay))};
}

void format_learning_common_regs(std::vector<uint32_t>* regs, const LearningParams* params) {
  uint32_t& learning = regs->at(kWordLearning);
  if (params == nullptr) {
    set_field(&learning, REG36_LEARN_EN, 0);
    return;
  }
  const LearningFieldValues values = learning_field_values(*params);
  set_field(&learning, REG36_LEARN_EN, 1);
  set_field(&learning, REG36_LEARN_WINNERS, values.winners);
  set_field(&regs->at(kWordLearnMinPlasticity), REG37_MIN_PLASTICITY, values.min_plasticity);
  set_field(&regs->at(kWordLearnPlasticityDecay), REG38_PLASTICITY_DECAY, values.plasticity_decay);
}

void format_learning_cnp_regs(std::vector<uint32_t>* regs, uint32_t first, uint32_t second) {
  set_field(&regs->at(kWordCnpLearnFirst), REG39_CNP_LEARN_FIRST, first);
  set_field(&regs->at(kWordCnpLearnSecond), REG41_CNP_LEARN_SECOND, second);
}

}  // namespace ornix::v1
