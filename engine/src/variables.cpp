#include "ornix/variables.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "format_text.h"
#include "layer_messages.h"

namespace ornix {

namespace {

std::string shape_text(const Shape& shape, Layout layout) {
  return shape_text(shape) + (layout == Layout::Reversed ? " in reversed layout" : "");
}

bool listed_backwards(const Shape& a, const Shape& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[b.size() - 1 - i]) return false;
  }
  return true;
}

// What to store for `given` in a variable of that shape and layout: `given` itself, the same
// bytes relabelled as the reversed variable, or null when it does not fit.
std::shared_ptr<const Dense> fit(const Shape& shape, Layout layout, const std::shared_ptr<const Dense>& given) {
  if (layout == Layout::Reversed && given->layout() == Layout::RowMajor && listed_backwards(given->shape(), shape)) {
    return Dense::copy(given->buffer(), given->byte_size(), given->type(), shape, Layout::Reversed);
  }
  if (given->layout() == layout && given->shape() == shape) return given;
  return nullptr;
}

std::shared_ptr<const Dense> fit_or_refuse(const std::string& name, const Shape& shape, Layout layout,
                                           const std::shared_ptr<const Dense>& given) {
  std::shared_ptr<const Dense> fitted = fit(shape, layout, given);
  if (!fitted) {
    throw std::invalid_argument(msg::variable_shape_mismatch(name, shape_text(shape, layout),
                                                             shape_text(given->shape(), given->layout())));
  }
  return fitted;
}

template <typename T>
void fill(Dense& tensor, int32_t value) {
  T* data = tensor.data<T>();
  std::fill(data, data + tensor.size(), static_cast<T>(value));
}

// A new tensor as the variable is declared, every element at its initial value.
std::shared_ptr<Dense> created(const VariableSpec& spec) {
  auto tensor = Dense::create(spec.type, spec.shape, spec.layout);
  if (spec.initial == 0) return tensor;
  switch (storage_type(spec.type)) {
    case TensorType::int32:
      fill<int32_t>(*tensor, spec.initial);
      break;
    case TensorType::float32:
      fill<float>(*tensor, spec.initial);
      break;
    case TensorType::int16:
      fill<int16_t>(*tensor, spec.initial);
      break;
    case TensorType::uint8:
      fill<uint8_t>(*tensor, spec.initial);
      break;
    default:
      fill<int8_t>(*tensor, spec.initial);
  }
  return tensor;
}

}  // namespace

std::vector<std::string> VariablesImpl::names() const {
  std::vector<std::string> names;
  names.reserve(tensors_.size());
  for (const auto& entry : tensors_) names.push_back(entry.first);
  return names;
}

std::shared_ptr<const Dense> VariablesImpl::get(const std::string& name) const {
  const auto found = tensors_.find(name);
  if (found == tensors_.end()) throw std::invalid_argument(msg::variable_not_found(name));
  return found->second;
}

bool VariablesImpl::has(const std::string& name) const { return tensors_.contains(name); }

void VariablesImpl::set(const std::string& name, std::shared_ptr<const Dense> tensor) {
  if (!tensor) throw std::invalid_argument(msg::null_variable(name));
  const auto found = tensors_.find(name);
  if (found == tensors_.end()) {
    tensors_.emplace(name, std::move(tensor));
  } else {
    found->second = fit_or_refuse(name, found->second->shape(), found->second->layout(), tensor);
  }
  ++revision_;
}

void VariablesImpl::declare(const std::vector<VariableSpec>& specs) {
  std::vector<std::pair<std::string, std::shared_ptr<const Dense>>> kept;
  for (const VariableSpec& spec : specs) {
    const auto found = tensors_.find(spec.name);
    if (found == tensors_.end()) continue;
    if (found->second->type() != spec.type) {
      throw std::invalid_argument(msg::variable_type_mismatch(spec.name, tensor_type_name(spec.type),
                                                              tensor_type_name(found->second->type())));
    }
    kept.emplace_back(spec.name, fit_or_refuse(spec.name, spec.shape, spec.layout, found->second));
  }
  for (auto& [name, tensor] : kept) tensors_[name] = std::move(tensor);
  for (const VariableSpec& spec : specs) {
    if (!tensors_.contains(spec.name)) tensors_.emplace(spec.name, created(spec));
  }
}

}  // namespace ornix
