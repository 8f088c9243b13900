#include "program/record.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <utility>

#include "program/limits.h"
#include "program/messages.h"
#include "program/page_blocks.h"

namespace ornix::program {

namespace {

PayloadWriter copy_of(const std::vector<uint32_t>& payload) {
  return [&payload](std::span<uint32_t> words) { std::copy(payload.begin(), payload.end(), words.begin()); };
}

}  // namespace

bool NpTrack::append(const hw::Ident& ident, dma::Target target, uint16_t address,
                     const std::vector<uint32_t>& payload, bool allow_xl) {
  return append(ident, target, address, payload.size(), copy_of(payload), allow_xl);
}

bool NpTrack::append(const hw::Ident& ident, dma::Target target, uint16_t address, size_t payload_words,
                     const PayloadWriter& write, bool allow_xl, size_t words_after) {
  // Sizes in 64 bits: a payload too large for the track must not wrap into a small one.
  const uint64_t n = payload_words;
  const bool xl = n > UINT32_MAX || dma::config_block_size_needs_xl(static_cast<uint32_t>(n));
  if (xl && !allow_xl) return false;
  const uint64_t size = xl ? (n + dma::kXlUnitWords - 1) / dma::kXlUnitWords * dma::kXlUnitWords : n;
  if (size > (xl ? dma::kMaxXlBlockWords : dma::kMaxPlainBlockWords)) return false;  // the header cannot size it
  const uint64_t start = words.size();
  if (start + dma::kHeaderWords + size > kMaxTrackWords) return false;

  // One allocation for the block, growing geometrically so that many small blocks stay cheap.
  const std::size_t end = start + dma::kHeaderWords + size;
  if (end > words.capacity()) {
    const uint64_t wanted = std::max<uint64_t>(uint64_t{end} + words_after, 2 * uint64_t{words.capacity()});
    words.reserve(std::max<uint64_t>(end, std::min<uint64_t>(wanted, kMaxTrackWords)));
    count_program_bytes_written(start * sizeof(uint32_t));  // moved
  }
  words.resize(end);  // zeros
  count_program_bytes_written((end - start) * sizeof(uint32_t));
  try {
    dma::format_config_header(words.data() + start, ident, target, static_cast<uint32_t>(size), address, xl);
    write(std::span<uint32_t>(words).subspan(start + dma::kHeaderWords, payload_words));
  } catch (...) {
    // Words given back must be zeros again: the next block takes them as its zero-filled payload.
    std::fill(words.begin() + static_cast<std::ptrdiff_t>(start), words.end(), 0);
    words.resize(start);
    throw;
  }
  return true;
}

void Record::add_np_track(const hw::Ident& ident, dma::Target target, uint16_t address,
                          const std::vector<uint32_t>& payload, size_t words_after) {
  count_program_bytes_written(payload.size() * sizeof(uint32_t));  // formatted before, copied here
  add_np_track(ident, target, address, payload.size(), copy_of(payload), words_after);
}

void Record::add_np_track(const hw::Ident& ident, dma::Target target, uint16_t address, size_t payload_words,
                          const PayloadWriter& write, size_t words_after) {
  if (tracks.empty()) tracks.emplace_back();
  if (tracks.back().append(ident, target, address, payload_words, write, false, words_after)) return;
  tracks.emplace_back();
  if (tracks.back().append(ident, target, address, payload_words, write, true, words_after)) return;
  throw std::runtime_error(kMsgNpProgramError);
}

void Record::add_fnp2_filters_track(const hw::Ident& ident, size_t word_count, const PayloadWriter& write) {
  auto filters = std::make_unique<FiltersTrack>(FiltersTrack{ident, {}});
  filters->words.resize(word_count);  // zeros
  count_program_bytes_written(word_count * sizeof(uint32_t));
  write(filters->words);
  fnp2_filters = std::move(filters);
}

void Record::add_fnp2_filters_track(const hw::Ident& ident, const std::vector<uint32_t>& words) {
  add_fnp2_filters_track(ident, words.size(), copy_of(words));
}

std::unique_ptr<Record> new_record(const HwVersion& version) { return std::make_unique<Record>(version); }

}  // namespace ornix::program
