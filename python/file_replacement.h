#pragma once

#include <cstddef>
#include <string>

namespace ornix::python {

// A new file that takes the place of the file `path` names once it is complete, so that a
// failed write never loses the old file. It is written under a unique temporary name in the
// same directory, then renamed over the target: a file the user keeps beside it (such as
// `path` + ".tmp") is never touched. A symbolic link is followed to the file it names, which
// is replaced, not the link; the new file keeps the permission bits of the file it replaces,
// or gets those a newly created file would get. Until commit() succeeds, the destructor
// removes the temporary file.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& path);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  // False when the temporary file could not be created (a missing or unwritable directory, a
  // loop of symbolic links).
  bool opened() const { return fd_ >= 0; }
  // Appends `size` bytes; false when the system refuses part of them.
  bool write(const char* data, size_t size);
  // Sets the permission bits, flushes the file to storage and renames it over the target;
  // false when any step fails (the target is then unchanged).
  bool commit();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;  // open from creation to commit()
  bool created_ = false;
  bool committed_ = false;
};

}  // namespace ornix::python
