#include <cstring>
#include <stdexcept>

#include "format_text.h"
#include "ornix/panic.h"
#include "ornix/tensor.h"
#include "tensor_messages.h"

namespace ornix {

Dense::Dense(TensorType type, const Shape& shape, Layout layout)
    : type_(type), shape_(shape), layout_(layout), strides_(eval_strides(shape, layout)), size_(shape.checked_element_count()) {
  const size_t element_size = tensor_element_size(type);
  if (element_size == 0) panic(msg::kUnknownTypeCreate, static_cast<unsigned>(type));
  buffer_.assign(size_ * element_size, 0);
}

std::shared_ptr<Dense> Dense::create(TensorType type, const Shape& shape, Layout layout) {
  return std::shared_ptr<Dense>(new Dense(type, shape, layout));
}

std::shared_ptr<Dense> Dense::copy(const void* data, size_t bytes, TensorType type, const Shape& shape,
                                   Layout layout) {
  auto dense = create(type, shape, layout);
  if (bytes != dense->byte_size()) {
    throw std::invalid_argument(format_text(msg::kCopySizeMismatch, bytes, dense->byte_size()));
  }
  if (data == nullptr) throw std::invalid_argument(msg::kCopyNullData);
  std::memcpy(dense->buffer(), data, bytes);
  return dense;
}

std::vector<uint32_t> Dense::eval_strides(const Shape& shape, Layout layout) {
  shape.checked_element_count();  // every stride is then below 2^32
  const size_t n = shape.size();
  std::vector<uint32_t> strides(n);
  switch (layout) {
    case Layout::RowMajor:
      for (size_t i = n; i-- > 0;) strides[i] = i + 1 == n ? 1 : strides[i + 1] * shape[i + 1];
      return strides;
    case Layout::Reversed:
      for (size_t i = 0; i < n; ++i) strides[i] = i == 0 ? 1 : strides[i - 1] * shape[i - 1];
      return strides;
  }
  throw std::invalid_argument(format_text(msg::kUnknownLayout, static_cast<unsigned>(layout)));
}

std::vector<std::shared_ptr<Dense>> Dense::split() const {
  if (shape_.empty()) throw std::invalid_argument(msg::kSplitScalar);
  const Shape frame_shape = shape_.size() == 1 ? Shape{1} : Shape(std::span(shape_.begin() + 1, shape_.end()));
  const std::vector<uint32_t> frame_strides = eval_strides(frame_shape, layout_);
  const size_t element_size = tensor_element_size(type_);
  const size_t frame_size = frame_shape.element_count();

  std::vector<std::shared_ptr<Dense>> frames;
  frames.reserve(shape_[0]);
  for (uint32_t index = 0; index < shape_[0]; ++index) {
    auto frame = create(type_, frame_shape, layout_);
    // Walk the frame's elements in its own storage order and fetch each through the strides.
    for (size_t k = 0; k < frame_size; ++k) {
      size_t source = size_t{index} * strides_[0];
      if (shape_.size() > 1) {
        for (size_t d = 0; d < frame_shape.size(); ++d) {
          source += (k / frame_strides[d]) % frame_shape[d] * strides_[d + 1];
        }
      }
      std::memcpy(frame->buffer() + k * element_size, buffer_.data() + source * element_size, element_size);
    }
    frames.push_back(std::move(frame));
  }
  return frames;
}

size_t Dense::offset_of(std::initializer_list<uint32_t> coords) const {
  if (coords.size() != shape_.size()) panic("%s", msg::kCoordinatesOutOfRange);
  size_t offset = 0;
  size_t d = 0;
  for (const uint32_t coord : coords) {
    if (coord >= shape_[d]) panic("%s", msg::kCoordinatesOutOfRange);
    offset += size_t{coord} * strides_[d++];
  }
  return offset;
}

}  // namespace ornix
