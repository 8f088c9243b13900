#include "backend/v2/cnp_weight_stream.h"

#include <utility>

#include "backend/v2/cnp_weight_layout.h"

namespace ornix::v2 {

namespace {

constexpr uint32_t kBitsPerByte = 8;
constexpr uint32_t kBytesPerWord = kTransferWordBits / kBitsPerByte;

}  // namespace

CnpWeightStream::CnpWeightStream(size_t words, uint32_t half_bits) : words_(words, 0), half_bits_(half_bits) {}

void CnpWeightStream::put_byte(size_t offset, uint8_t value) {
  words_.at(offset / kBytesPerWord) |= uint32_t{value} << (offset % kBytesPerWord * kBitsPerByte);
}

void CnpWeightStream::seek(size_t word, uint32_t bit) {
  half_ = word / kWordsPerHalf;
  bit_ = bit;
}

void CnpWeightStream::put(uint32_t value, uint32_t width) {
  for (uint32_t i = 0; i < width; ++i) {
    uint32_t& word = words_.at(half_ * kWordsPerHalf + bit_ / kTransferWordBits);
    word |= (value >> i & 1u) << (bit_ % kTransferWordBits);
    if (++bit_ == half_bits_) next_half();
  }
}

void CnpWeightStream::next_half() {
  ++half_;
  bit_ = 0;
}

void CnpWeightStream::next_word() {
  half_ = half_ / 2 * 2 + 2;
  bit_ = 0;
}

}  // namespace ornix::v2
