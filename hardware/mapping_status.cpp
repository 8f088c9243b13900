#include "hardware/mapping_status.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "hardware/messages.h"

namespace ornix {

MappingStatus::MappingStatus(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}

bool MappingStatus::success() const { return code_ == StatusCode::Success; }

std::string MappingStatus::to_string() const { return success() ? kMsgSuccess : to_string_impl(); }

std::string MappingStatus::to_string_impl() const { return message_; }

void MappingStatus::throw_exception() const { throw std::runtime_error(to_string()); }

LayerMappingStatus::LayerMappingStatus(std::string layer_name)
    : LayerMappingStatus(std::move(layer_name), StatusCode::Success, "") {}

LayerMappingStatus::LayerMappingStatus(std::string layer_name, StatusCode code, std::string message)
    : MappingStatus(code, std::move(message)), layer_name_(std::move(layer_name)) {}

std::string LayerMappingStatus::to_string_impl() const {
  std::string text;
  if (!layer_name_.empty()) text = cannot_map_layer_message(layer_name_);
  if (!message_.empty()) text += " " + message_;
  return text;
}

LayerMappingError::LayerMappingError(std::string layer_name, std::string message)
    : LayerMappingStatus(std::move(layer_name), StatusCode::Error, std::move(message)) {}

NpsMappingError::NpsMappingError(std::string layer_name, const std::string& type_name, std::size_t needed,
                                 std::size_t available)
    : LayerMappingError(std::move(layer_name), not_enough_components_message(type_name, needed, available)) {}

LayersMappingStatus::LayersMappingStatus() : MappingStatus(StatusCode::Success, "") {}

bool LayersMappingStatus::success() const {
  return std::all_of(statuses_.begin(), statuses_.end(), [](const LayerMappingStatus& s) { return s.success(); });
}

std::string LayersMappingStatus::to_string_impl() const {
  std::string text;
  for (const LayerMappingStatus& status : statuses_) {
    text += layer_status_line_message(status.layer_name(), status.message());
  }
  return text;
}

void LayersMappingStatus::add_status(const LayerMappingStatus& status) {
  if (std::find(statuses_.begin(), statuses_.end(), status) == statuses_.end()) statuses_.push_back(status);
}

MappingError::MappingError(std::string message) : MappingStatus(StatusCode::Error, std::move(message)) {}

void merge_mapping_status(LayerMappingStatus& into, const LayerMappingStatus& other) {
  if (other.code() == StatusCode::Success) return;
  if (into.layer_name_.empty()) into.layer_name_ = other.layer_name_;
  into.code_ = StatusCode::Error;
  into.message_ = into.message_.empty() ? other.message_ : into.message_ + "\n" + other.message_;
}

}  // namespace ornix
