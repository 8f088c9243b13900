#pragma once

// The engine's software tensor operations, one header per family. They run quantized layers on
// the host and are reachable from Python for validation.
//
// Arithmetic shared by every operation:
// - Values are integers; intermediate results are computed exactly in 64 bits, and sums of
//   products (convolutions, matrix products) in 32-bit accumulators, which an operation refuses
//   (std::invalid_argument) before computing when its inputs could overflow them: the largest
//   input magnitude times the largest absolute weight sum of one output must stay below 2^31.
// - A shift by s multiplies by 2^s when s >= 0, and divides by 2^-s when s < 0, rounding half
//   up (toward +infinity): (v + 2^(-s-1)) >> -s, so 5 >> 1 gives 3 and -5 >> 1 gives -2.
//   Averages round the same way.
// - An `int n` (and `int m`) after the tensors is the bit width (1 to 32) of the result, whose
//   values saturate to the signed range [-2^(n-1), 2^(n-1) - 1] unless an operation says
//   otherwise; 32 keeps every int32 value.
// - Per-channel operands ("one value per channel") hold one value per element of some trailing
//   dimensions of the input: 1 value for all, the last dimension's size for one per channel, the
//   product of the last two, and so on; they repeat over the leading dimensions.
// - Images are (width, height, channels) or (frames, width, height, channels): dimension 0 of a
//   frame is x (its width, "left" and "right" pad it), dimension 1 is y ("top" and "bottom").
// - Tensors are read in row-major layout and never changed, except the ones taken by non-const
//   reference, which the operation updates in place. Results are new row-major tensors.
// - Wrong element types, shapes, bit widths or geometry raise std::invalid_argument naming the
//   operation and the argument; nothing is computed then.

#include "ornix/ops/convolution.h"
#include "ornix/ops/elementwise.h"
#include "ornix/ops/image_patches.h"
#include "ornix/ops/linear.h"
#include "ornix/ops/pooling.h"
#include "ornix/ops/temporal.h"
