#pragma once

#include <cstdint>

// Size limits of the engine's layers.

namespace ornix {

// Bytes a layer's variables may take together in the engine (one byte or more per value).
// Devices keep a layer's weights in their NPs' memories (tens of kilobytes per NP) or, for a
// fully connected layer on an FNP2, in external memory: the largest layer the generation-2 FNP
// registers describe (65535 neurons of 2048 inputs) takes 128 MiB here, and generation 1 packs
// fully connected weights at 1 to 4 bits each. The bound leaves room above both; a larger layer
// is refused when it joins a model, before its variables are allocated.
inline constexpr uint64_t kMaxLayerVariableBytes = uint64_t{512} << 20;

}  // namespace ornix
