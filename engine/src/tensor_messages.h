#pragma once

// Texts of the shape and tensor refusals, as printf formats. The first group is relied on word
// for word by the back ends and the bindings; do not reword it.

namespace ornix::msg {

inline constexpr const char* kZeroDimension = "Cannot have a shape with a dimension set to 0";
inline constexpr const char* kShapeTooLarge = "Tensor shape size %lu exceeds maximum shape size (%u)";
inline constexpr const char* kWrongRequestedType = "Wrong requested type %s for a tensor of type %s.";
inline constexpr const char* kCoordinatesOutOfRange = "Coordinates are out-of-range";

// Names of the TensorType codes 0 to 9, then the name of any other code.
inline constexpr const char* kTensorTypeNames[] = {"int32", "float32", "uint8", "int16", "int8",
                                                   "int4",  "int2",    "uint4", "uint2", "bit"};
inline constexpr const char* kUnknownTensorType = "unknown";

// The engine's own refusals.
inline constexpr const char* kTooManyDimensions = "Cannot have a shape with %zu dimensions (max 4)";
inline constexpr const char* kUnknownTypeCreate = "Cannot create a tensor of unknown type %u";
inline constexpr const char* kUnknownLayout = "Unknown tensor layout %u";
inline constexpr const char* kCopySizeMismatch = "Dense::copy received %zu bytes for a tensor of %zu bytes";
inline constexpr const char* kCopyNullData = "Dense::copy received no data";
inline constexpr const char* kSplitScalar = "Cannot split a tensor without dimensions";
inline constexpr const char* kBitwidthOfFloat = "Cannot evaluate the bit width of a float32 tensor";
inline constexpr const char* kActStepOutOfRange = "act_step %g cannot be held in sixteenths by a 32-bit integer";

}  // namespace ornix::msg
