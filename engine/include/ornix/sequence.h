#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ornix/backend_type.h"
#include "ornix/layer.h"
#include "ornix/tensor.h"

namespace ornix {

// A run of a model's layers that one back end executes, as mapping produced it. Implemented
// by the back ends (the hardware back end's sequences hold the device program).
class Sequence {
 public:
  // Layers programmed together.
  struct Pass {
    virtual ~Pass() = default;
    std::vector<std::shared_ptr<Layer>> layers;  // in model order
  };
  // A view of bytes owned by the sequence; valid while the sequence lives. Null data: absent.
  struct Bytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
  };
  // The two parts of a serialized program: how to program the device, then the data.
  struct ProgramParts {
    Bytes program_info;
    Bytes program_data;
  };

  virtual ~Sequence() = default;
  virtual const std::vector<std::shared_ptr<Pass>>& passes() const = 0;
  virtual BackendType backend() const = 0;
  // The whole program; null data when the sequence has none for its device.
  virtual Bytes program() const = 0;
  virtual ProgramParts program_parts() const = 0;
  virtual std::string name() const = 0;
};

// A sequence that runs samples: one input tensor per sample in, one output tensor per sample out.
class ForwardableSequence : public Sequence {
 public:
  // `labels` is null for inference; with learning it holds one label, or one per sample.
  virtual std::vector<std::shared_ptr<Tensor>> forward_samples(const std::vector<std::shared_ptr<const Tensor>>& inputs,
                                                               std::vector<int32_t>* labels) = 0;
};

}  // namespace ornix
