#pragma once

// Whether a run of layers can be one generation-2 hardware sequence. Each function stops at its
// first failing rule and returns it as an error status naming the offending layer; it never
// throws for a rule, only when the engine refuses a read (a shift or scale variable of another
// element type than int8 or uint8).

#include <memory>
#include <vector>

#include "hardware/mapping_status.h"
#include "mapping/compatibility_checker.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// The rules over [first, last), a run of layers in model order (an empty run passes), in this order: where
// a sequence may start, where a Dequantizer may sit, how the sequence may end, which NP kinds
// may feed which, how many consumers a layer may have, and check_skip_connection_mapping. The
// NP-kind rules only refuse an inbound layer that is itself in the run (by identity).
LayerMappingStatus check_layer_sequence(CompatibilityChecker::LayerIterator first,
                                        CompatibilityChecker::LayerIterator last);

// A layer without activation whose output is wider than 8 bits must have all-zero
// "output_shift" (int8) and all-one "output_scales" (uint8); an absent variable has nothing to
// violate. A success carries no layer name.
LayerMappingStatus check_no_activation_output(const Layer& layer);

// The skip-connection rules of a run (non-empty, model order): one open branch at its end, no
// merge layer last, and no fan-out from the deeper, second input of a Concatenate. A success
// carries no layer name.
LayerMappingStatus check_skip_connection_mapping(const std::vector<std::shared_ptr<Layer>>& layers);

}  // namespace ornix::v2
