#pragma once

#include "hardware/mapping_status.h"
#include "mapping/compatibility_checker.h"

namespace ornix::v1 {

// The max pooling rules over [first, last), a run of layers in model order: a CNP
// layer with max pooling may not end the run, and a layer off the CNPs may not follow one that
// is in the run (by identity; only the layer's first such inbound counts). Stops at the first
// broken rule, naming the offending layer; a success carries no layer name.
LayerMappingStatus check_layer_sequence(CompatibilityChecker::LayerIterator first,
                                        CompatibilityChecker::LayerIterator last);

}  // namespace ornix::v1
