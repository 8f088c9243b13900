#include "model_file.h"

#include <snappy-sinksource.h>
#include <snappy.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "file_replacement.h"
#include "model_file_limits.h"
#include "model_messages.h"

namespace ornix::python {

namespace {

// Receives the decompressed model, never more than the announced length.
class ModelBytes final : public snappy::Sink {
 public:
  explicit ModelBytes(size_t size) : bytes_(size, 0) {}
  void Append(const char* data, size_t n) override {
    const size_t taken = std::min(n, bytes_.size() - written_);
    std::memcpy(bytes_.data() + written_, data, taken);
    written_ += taken;
  }
  bool complete() const { return written_ == bytes_.size(); }
  const uint8_t* data() const { return bytes_.data(); }

 private:
  std::vector<uint8_t> bytes_;
  size_t written_ = 0;
};

// Grows `bytes` to `size` with the next bytes of `file`; "File not found." when they cannot all
// be read (a directory, a file that shrank, a read error).
void read_up_to(std::ifstream& file, std::vector<char>& bytes, uint64_t size) {
  const uint64_t count = size - bytes.size();
  bytes.resize(size);
  file.read(bytes.data() + (size - count), static_cast<std::streamsize>(count));
  if (!file || static_cast<uint64_t>(file.gcount()) != count) throw std::runtime_error(msg::kFileNotFound);
}

// The size of the valid length header that starts `head`: its bytes with the continuation bit
// set, then one more.
uint64_t length_header_bytes(const std::vector<char>& head) {
  uint64_t size = 1;
  while (size < head.size() && (static_cast<uint8_t>(head[size - 1]) & 0x80) != 0) ++size;
  return size;
}

}  // namespace

std::unique_ptr<Model> load_model_file(const std::string& path) {
  // The file would be opened by the name before the NUL: another file than the one named.
  if (path.find('\0') != std::string::npos) throw std::invalid_argument(msg::kEmbeddedNull);
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error(msg::kFileNotFound);
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  if (!file || length < 0) throw std::runtime_error(msg::kFileNotFound);
  if (length == 0) throw std::runtime_error(msg::kFileEmpty);
  file.seekg(0, std::ios::beg);

  // The announced length is trusted only once the format can hold it and the rest of the file
  // can decode to it; only the part of the file the block can take is read.
  std::vector<char> block;
  read_up_to(file, block, std::min<uint64_t>(length, kMaxLengthHeaderBytes));
  size_t model_size = 0;
  if (!snappy::GetUncompressedLength(block.data(), block.size(), &model_size) || model_size > kMaxModelBufferBytes) {
    throw std::invalid_argument(msg::kCorruptedBuffer);
  }
  const uint64_t header_size = length_header_bytes(block);
  const uint64_t block_size = std::min<uint64_t>(length, header_size + model_size * kMaxBlockBytesPerModelByte);
  const uint64_t densest_elements = (block_size - header_size + kDensestElementBytes - 1) / kDensestElementBytes;
  if (model_size > densest_elements * kDensestElementYield) throw std::invalid_argument(msg::kCorruptedBuffer);
  if (block_size > block.size()) {
    read_up_to(file, block, block_size);
  } else {
    block.resize(block_size);
  }

  // The zero trailer makes snappy refuse the file as a whole even when the block is sound, so
  // the block counts as whole when it yields every byte it announces.
  ModelBytes model_bytes(model_size);
  snappy::ByteArraySource source(block.data(), block.size());
  snappy::UncompressAsMuchAsPossible(&source, &model_bytes);
  if (!model_bytes.complete()) throw std::invalid_argument(msg::kCorruptedBuffer);
  return Model::from_buffer(model_bytes.data(), model_size);
}

void save_model_file(const Model& model, const std::string& path) {
  if (path.find('\0') != std::string::npos) throw std::invalid_argument(msg::kEmbeddedNull);
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw std::invalid_argument(msg::unable_to_save(path));
  FileReplacement file(path);
  if (!file.opened()) throw std::invalid_argument(msg::unable_to_save(path));

  const std::vector<uint8_t> model_bytes = model.to_buffer();
  // The whole maximum-length buffer is written: the block, then zeros.
  std::vector<char> block(snappy::MaxCompressedLength(model_bytes.size()), 0);
  size_t compressed_size = 0;
  snappy::RawCompress(reinterpret_cast<const char*>(model_bytes.data()), model_bytes.size(), block.data(),
                      &compressed_size);
  if (!file.write(block.data(), block.size()) || !file.commit()) throw std::runtime_error(msg::save_failed(path));
}

}  // namespace ornix::python
