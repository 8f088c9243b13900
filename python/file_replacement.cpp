#include "file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "file_limits.h"

namespace ornix::python {

namespace {

namespace fs = std::filesystem;

// The file that `path` names once its symbolic links are followed; empty for a loop.
fs::path link_target(const fs::path& path) {
  fs::path target = path;
  std::error_code error;
  for (int hops = 0; hops <= kMaxSymlinkHops; ++hops) {
    if (!fs::is_symlink(target, error)) return target;
    const fs::path link = fs::read_symlink(target, error);
    if (error) return target;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  return {};
}

// The permission bits of the file at `target`, or those of a file created there now.
mode_t permissions_for(const std::string& target) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) return existing.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& path) : target_(link_target(path).string()) {
  if (target_.empty()) return;
  const fs::path target(target_);
  temporary_ = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(temporary_.begin(), temporary_.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  created_ = fd_ >= 0;
  if (created_) temporary_ = name.data();
}

FileReplacement::~FileReplacement() {
  if (fd_ >= 0) ::close(fd_);
  if (created_ && !committed_) ::unlink(temporary_.c_str());
}

bool FileReplacement::write(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= size_t(written);
  }
  return true;
}

bool FileReplacement::commit() {
  if (::fchmod(fd_, permissions_for(target_)) != 0 || ::fsync(fd_) != 0) return false;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return false;
  committed_ = ::rename(temporary_.c_str(), target_.c_str()) == 0;
  return committed_;
}

}  // namespace ornix::python
