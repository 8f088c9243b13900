#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "ornix/dma/config_header.h"
#include "ornix/hw/ident.h"
#include "ornix/hw_version.h"
#include "program/track_arena.h"

namespace ornix::program {

// One DMA track: configuration blocks back to back, each a two-word header (dma::
// format_config_header) followed by its payload, padded with zeros to the header's size in the
// extra-large form. Never more than kMaxTrackWords words.
// Writes a block's payload in place: `payload` is zero-filled and exactly as long as announced.
using PayloadWriter = std::function<void(std::span<uint32_t> payload)>;

struct NpTrack {
  // Only ever grows: a refused or failed block leaves the words as they were.
  TrackWords words;

  // Appends one block of `payload` when it fits: a block that needs the extra-large form is
  // refused unless `allow_xl`, and one that would overflow the track or that the header cannot
  // size is refused. Returns false, leaving the track unchanged, when refused.
  bool append(const hw::Ident& ident, dma::Target target, uint16_t address, const std::vector<uint32_t>& payload,
              bool allow_xl);
  // The same for a payload of `payload_words` words that `write` puts into the track itself.
  // An exception of `write` leaves the track unchanged and passes out. When the track has to
  // grow, it makes room for `words_after` more words too.
  bool append(const hw::Ident& ident, dma::Target target, uint16_t address, size_t payload_words,
              const PayloadWriter& write, bool allow_xl, size_t words_after = 0);
};

// The filter words of an FNP with external memory (FNP2), stored as given (no header).
struct FiltersTrack {
  hw::Ident ident;
  TrackWords words;
};

// A program for the device: DMA tracks in order of creation and at most one filters track.
// Filled by the generation's recorders, moved to the serializer, never copied.
class Record {
 public:
  explicit Record(const HwVersion& version) : version(version) {}
  virtual ~Record() = default;
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  // Appends one block: to the last track when it fits there without the extra-large form,
  // else to a new track. std::runtime_error when not even a fresh track takes it (the record
  // then keeps that empty track). So a block that needs the extra-large form always opens a
  // track of its own.
  void add_np_track(const hw::Ident& ident, dma::Target target, uint16_t address,
                    const std::vector<uint32_t>& payload, size_t words_after = 0);
  // The same for a payload of `payload_words` words that `write` puts straight into the track
  // (a packer writing in place, so the words are written once). `write` runs only once the
  // block has its place. `words_after` (for both forms): the words (headers included) of the
  // blocks the caller adds next, for which a track that grows keeps room as far as the track
  // limit allows, so that they do not move it.
  void add_np_track(const hw::Ident& ident, dma::Target target, uint16_t address, size_t payload_words,
                    const PayloadWriter& write, size_t words_after = 0);
  // Replaces the filters track by {ident, `word_count` words that `write` puts straight into
  // it (zero-filled, exactly that long)}. An exception of `write` passes out and leaves the
  // record's filters track as it was.
  void add_fnp2_filters_track(const hw::Ident& ident, size_t word_count, const PayloadWriter& write);
  // The same with a copy of `words`.
  void add_fnp2_filters_track(const hw::Ident& ident, const std::vector<uint32_t>& words);

  std::vector<NpTrack> tracks;
  std::unique_ptr<FiltersTrack> fnp2_filters;  // absent until added
  HwVersion version;                           // of the device the record is for
};

// An empty record for a device of `version`.
std::unique_ptr<Record> new_record(const HwVersion& version);

// The records of a learning layer.
struct LearnRecordsPtr {
  std::unique_ptr<Record> record0;  // register program with learning enabled
  std::unique_ptr<Record> record1;  // register program with learning disabled
  std::unique_ptr<Record> record2;  // memory program
  uint32_t count = 0;               // the layer's FNP memory size, 32-bit words
};

}  // namespace ornix::program
