#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace murmuro {
namespace {

// Closes the descriptor and, unless released, removes the temporary file.
class TempFile {
 public:
  TempFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  void Keep() { kept_ = true; }

 private:
  int fd_;
  std::string path_;
  bool kept_ = false;
};

// Closes the descriptor it holds.
struct Descriptor {
  explicit Descriptor(int descriptor) : fd(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  const int fd;
};

std::string Failure(std::string_view what) {
  return std::string(what) + " (" + std::strerror(errno) + ")";
}

}  // namespace

std::optional<std::uint64_t> PosixFileSystem::Size(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::string> PosixFileSystem::Read(const std::filesystem::path& file, std::uint64_t maxBytes) {
  const Descriptor in{::open(file.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) return std::nullopt;
  std::string bytes;
  char buffer[64 * 1024];
  while (bytes.size() < maxBytes) {
    const ssize_t n = ::read(in.fd, buffer, std::min<std::uint64_t>(sizeof buffer, maxBytes - bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

std::string PosixFileSystem::ReplaceAll(const std::filesystem::path& file, std::string_view bytes,
                                        const std::filesystem::path& backup) {
  std::string pattern = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return Failure("cannot create a temporary file beside it");
  TempFile temp(fd, pattern);
  if (!Stage("opened")) return "the temporary file could not be written";
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(temp.fd(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failure("write failed");
    }
    done += static_cast<std::size_t>(n);
  }
  if (!Stage("written") || ::fsync(temp.fd()) != 0) return Failure("flush failed");
  if (!Stage("flushed") || !temp.Close()) return Failure("close failed");
  if (::chmod(temp.path().c_str(), 0644) != 0) return Failure("cannot replace the file");
  // The backup is a second name of the old file, so the file itself is never missing.
  if (!backup.empty() && Size(file) &&
      ((::unlink(backup.c_str()) != 0 && errno != ENOENT) || ::link(file.c_str(), backup.c_str()) != 0)) {
    return Failure("cannot replace the file, keeping it as " + backup.filename().string());
  }
  if (::rename(temp.path().c_str(), file.c_str()) != 0) return Failure("cannot replace the file");
  temp.Keep();
  return {};
}

}  // namespace murmuro
