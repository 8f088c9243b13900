#pragma once

// Outcome of every check and mapping step. Statuses are plain values, copied freely; a step
// that cannot go on throws one with throw_exception.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ornix/layer.h"

namespace ornix {

enum class StatusCode : uint32_t { Success = 0, Error = 1 };

class MappingStatus {
 public:
  MappingStatus(StatusCode code, std::string message);
  virtual ~MappingStatus() = default;
  MappingStatus(const MappingStatus&) = default;
  MappingStatus& operator=(const MappingStatus&) = default;

  virtual bool success() const;
  // "Success." when success() holds, otherwise to_string_impl().
  virtual std::string to_string() const;
  // The failure text, whatever the code.
  virtual std::string to_string_impl() const;
  // Throws std::runtime_error with to_string() as its text.
  [[noreturn]] void throw_exception() const;

  StatusCode code() const { return code_; }
  const std::string& message() const { return message_; }  // empty for a success

  bool operator==(const MappingStatus&) const = default;

 protected:
  StatusCode code_;
  std::string message_;
};

// Status of one layer, named by the engine layer's name (may be empty).
class LayerMappingStatus : public MappingStatus {
 public:
  // A success.
  explicit LayerMappingStatus(std::string layer_name);
  LayerMappingStatus(std::string layer_name, StatusCode code, std::string message);
  // The same, named by the layer's name.
  explicit LayerMappingStatus(const Layer& layer) : LayerMappingStatus(layer.name()) {}
  LayerMappingStatus(const Layer& layer, StatusCode code, std::string message)
      : LayerMappingStatus(layer.name(), code, std::move(message)) {}

  // "Cannot map layer '<name>'." when named, then " <message>" when there is a message.
  std::string to_string_impl() const override;

  const std::string& layer_name() const { return layer_name_; }

  bool operator==(const LayerMappingStatus&) const = default;

 private:
  friend void merge_mapping_status(LayerMappingStatus& into, const LayerMappingStatus& other);
  std::string layer_name_;
};

// A layer that cannot be mapped.
class LayerMappingError : public LayerMappingStatus {
 public:
  LayerMappingError(std::string layer_name, std::string message);
  LayerMappingError(const Layer& layer, std::string message) : LayerMappingError(layer.name(), std::move(message)) {}
};

// A layer that needs more components of one kind than are free.
class NpsMappingError : public LayerMappingError {
 public:
  // type_name: a hw::to_string text.
  NpsMappingError(std::string layer_name, const std::string& type_name, std::size_t needed, std::size_t available);
};

// The per-layer statuses collected over a model, in the order added.
class LayersMappingStatus : public MappingStatus {
 public:
  LayersMappingStatus();

  // True when every held status succeeds (and when none is held); the collection's own code
  // and message are not consulted.
  bool success() const override;
  // One "\n  * Layer '<name>': <message>" line per held status.
  std::string to_string_impl() const override;

  // Appends a copy (as a plain LayerMappingStatus) unless an equal status is already held.
  void add_status(const LayerMappingStatus& status);
  const std::vector<LayerMappingStatus>& statuses() const { return statuses_; }

 private:
  std::vector<LayerMappingStatus> statuses_;
};

// A failure that concerns no single layer.
class MappingError : public MappingStatus {
 public:
  explicit MappingError(std::string message);
};

// Folds `other` into `into`: a success changes nothing; a failure makes `into` a failure,
// gives it `other`'s layer name when it has none, and appends `other`'s message on a new line.
void merge_mapping_status(LayerMappingStatus& into, const LayerMappingStatus& other);

}  // namespace ornix
