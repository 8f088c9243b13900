#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ornix/dma/config_header.h"
#include "ornix/hw/ident.h"
#include "program/record.h"

namespace ornix::program {

// One block of a record, sized before any block is added: its payload is copied from `copied`
// or, without it, written straight into its track by `write`.
struct PlannedBlock {
  hw::Ident ident;
  dma::Target target;
  uint16_t address;
  size_t words;                         // of the payload
  const std::vector<uint32_t>* copied;  // null for a payload written in place
  PayloadWriter write;
};

// Adds `blocks` to `record` in order (Record::add_np_track), so that every track that opens keeps
// room for exactly the blocks that will join it and none of them moves it: a block joins the last
// track unless it needs the extra-large form, which opens a track of its own. The failures of
// add_np_track and of the writers pass out; the blocks added before stay.
void add_planned_blocks(Record& record, const std::vector<PlannedBlock>& blocks);

}  // namespace ornix::program
