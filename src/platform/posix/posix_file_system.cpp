#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

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

std::string Failure(std::string_view what) {
  return std::string(what) + " (" + std::strerror(errno) + ")";
}

}  // namespace

std::optional<std::uint64_t> PosixFileSystem::Size(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::string> PosixFileSystem::ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::string PosixFileSystem::ReplaceAll(const std::filesystem::path& file, std::string_view bytes) {
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
  if (::chmod(temp.path().c_str(), 0644) != 0 || ::rename(temp.path().c_str(), file.c_str()) != 0) {
    return Failure("cannot replace the file");
  }
  temp.Keep();
  return {};
}

}  // namespace murmuro
