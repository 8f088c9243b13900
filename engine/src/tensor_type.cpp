#include <iterator>

#include "ornix/panic.h"
#include "ornix/tensor.h"
#include "tensor_messages.h"

namespace ornix {

const char* tensor_type_name(TensorType type) {
  const auto code = static_cast<size_t>(type);
  return code < std::size(msg::kTensorTypeNames) ? msg::kTensorTypeNames[code] : msg::kUnknownTensorType;
}

size_t tensor_element_size(TensorType type) {
  switch (type) {
    case TensorType::int32:
    case TensorType::float32:
      return 4;
    case TensorType::int16:
      return 2;
    case TensorType::uint8:
    case TensorType::int8:
    case TensorType::int4:
    case TensorType::int2:
    case TensorType::uint4:
    case TensorType::uint2:
    case TensorType::bit:
      return 1;
  }
  return 0;
}

TensorType storage_type(TensorType type) {
  switch (type) {
    case TensorType::int4:
    case TensorType::int2:
    case TensorType::bit:
      return TensorType::int8;
    case TensorType::uint4:
    case TensorType::uint2:
      return TensorType::uint8;
    default:
      return type;
  }
}

template <>
TensorType Dense::element_type<int32_t>() {
  return TensorType::int32;
}
template <>
TensorType Dense::element_type<float>() {
  return TensorType::float32;
}
template <>
TensorType Dense::element_type<uint8_t>() {
  return TensorType::uint8;
}
template <>
TensorType Dense::element_type<int16_t>() {
  return TensorType::int16;
}
template <>
TensorType Dense::element_type<int8_t>() {
  return TensorType::int8;
}

void Dense::refuse_element(TensorType requested) const {
  panic(msg::kWrongRequestedType, tensor_type_name(requested), tensor_type_name(type_));
}

}  // namespace ornix
