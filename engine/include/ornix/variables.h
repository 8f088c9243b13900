#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix {

// A layer's named tensors (weights, thresholds, shifts...). Stored tensors are shared, never
// modified in place: a caller that hands a tensor to `set` must not change it afterwards.
class Variables {
 public:
  virtual ~Variables() = default;
  // Every name, in ascending byte order.
  virtual std::vector<std::string> names() const = 0;
  // The tensor of `name`; std::invalid_argument naming it when absent.
  virtual std::shared_ptr<const Dense> get(const std::string& name) const = 0;
  virtual bool has(const std::string& name) const = 0;
  // Adds a variable, or replaces one with a tensor of the same shape and layout. A row-major
  // tensor whose dimensions are those of a stored reversed-layout variable listed backwards
  // (how a reversed variable reads in NumPy order) is stored as that variable: same bytes,
  // reversed layout, the stored dimensions. Any other shape or layout is refused with
  // std::invalid_argument and the variable is unchanged; so is a null tensor.
  virtual void set(const std::string& name, std::shared_ptr<const Dense> tensor) = 0;
};

// The shape a layer gives one of its variables when it is built.
struct VariableSpec {
  std::string name;
  TensorType type;
  Shape shape;
  Layout layout = Layout::RowMajor;
  int32_t initial = 0;  // every element's value when the variable is created
};

class VariablesImpl : public Variables {
 public:
  std::vector<std::string> names() const override;
  std::shared_ptr<const Dense> get(const std::string& name) const override;
  bool has(const std::string& name) const override;
  void set(const std::string& name, std::shared_ptr<const Dense> tensor) override;

  // Gives a built layer its variables: each absent one is created with every element at its
  // spec's initial value; one already present must have the VariableSpec's element type and
  // fit its shape and layout as `set` would accept it. On a misfit nothing changes
  // (std::invalid_argument).
  void declare(const std::vector<VariableSpec>& specs);

  // Grows with every successful `set`: a caller that kept an earlier revision knows from a
  // different one that a variable was set since.
  uint64_t revision() const { return revision_; }

 private:
  std::map<std::string, std::shared_ptr<const Dense>> tensors_;
  uint64_t revision_ = 0;
};

}  // namespace ornix
