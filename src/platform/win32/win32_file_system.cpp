#include "platform/win32/win32_file_system.h"

#include "platform/win32/utf8.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/handles.h"

namespace murmuro::win32 {
namespace {

constexpr DWORD kChunk = 1u << 20;
// Indexers, virus scanners and sync clients open a file just written for a moment: the swap is
// tried again for about a second before it counts as failed.
constexpr ULONGLONG kSwapRetryMs = 1000;
constexpr DWORD kSwapPauseMs = 50;

bool HeldForAMoment(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// "what: <system message> (error N)", the message in UTF-8.
std::string Failure(std::string_view what, DWORD error = ::GetLastError()) {
  std::string text(what);
  wchar_t* message = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (n > 0 && message) {
    std::wstring wide(message, n);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) {
      wide.pop_back();
    }
    if (!wide.empty()) text += ": " + WideToUtf8(wide);
  }
  if (message) ::LocalFree(message);
  return text + " (error " + std::to_string(error) + ")";
}

// Deletes the temporary file unless it has become the target.
class TempFile {
 public:
  explicit TempFile(std::wstring path) : path_(std::move(path)) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    handle.reset();
    if (!kept_) ::DeleteFileW(path_.c_str());
  }
  const wchar_t* Path() const { return path_.c_str(); }
  void Keep() { kept_ = true; }
  UniqueFile handle;

 private:
  std::wstring path_;
  bool kept_ = false;
};

}  // namespace

std::optional<std::uint64_t> Win32FileSystem::Size(const std::filesystem::path& file) {
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

std::optional<std::string> Win32FileSystem::Read(const std::filesystem::path& file, std::uint64_t maxBytes) {
  UniqueFile in(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in) return std::nullopt;
  std::string bytes;
  char buffer[64 * 1024];
  while (bytes.size() < maxBytes) {
    const auto want = static_cast<DWORD>(std::min<std::uint64_t>(sizeof buffer, maxBytes - bytes.size()));
    DWORD got = 0;
    if (!::ReadFile(in.get(), buffer, want, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

std::string Win32FileSystem::ReplaceAll(const std::filesystem::path& file, std::string_view bytes,
                                        const std::filesystem::path& backup) {
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = L".";
  wchar_t name[MAX_PATH + 1] = {};
  // Creates an empty, uniquely named file in the target's folder (same volume: the final
  // move is a rename).
  if (::GetTempFileNameW(folder.c_str(), L"kel", 0, name) == 0) {
    return Failure("cannot create a temporary file beside it");
  }
  TempFile temp(name);
  temp.handle.reset(::CreateFileW(temp.Path(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!temp.handle) return Failure("cannot open the temporary file");
  if (!Stage("opened")) return "the temporary file could not be written";
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kChunk));
    DWORD wrote = 0;
    if (!::WriteFile(temp.handle.get(), bytes.data() + done, want, &wrote, nullptr) || wrote == 0) {
      return Failure("write failed");
    }
    done += wrote;
  }
  if (!Stage("written")) return "flush failed";
  if (!::FlushFileBuffers(temp.handle.get())) return Failure("flush failed");
  if (!Stage("flushed")) return "close failed";
  if (!::CloseHandle(temp.handle.release())) return Failure("close failed");
  // The file to be replaced, by its size: only an existing file can go to the backup name.
  const std::optional<std::uint64_t> replaced = backup.empty() ? std::nullopt : Size(file);
  const ULONGLONG start = ::GetTickCount64();
  DWORD error = 0;
  for (;;) {
    if (!Stage("swap")) return "cannot replace the file";
    error = SwapIn(file, temp.Path(), replaced ? backup : std::filesystem::path());
    if (error == 0 || !HeldForAMoment(error) || ::GetTickCount64() - start >= kSwapRetryMs) break;
    ::Sleep(kSwapPauseMs);
  }
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 && replaced) return PutBack(file, backup, *replaced);
  if (error != 0) return Failure("cannot replace the file", error);
  temp.Keep();
  return {};
}

unsigned long Win32FileSystem::SwapIn(const std::filesystem::path& file, const std::filesystem::path& temp,
                                      const std::filesystem::path& backup) const {
  if (swap_) return swap_(file, temp, backup);
  const BOOL done =
      backup.empty()
          ? ::MoveFileExW(temp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
          : ::ReplaceFileW(file.c_str(), temp.c_str(), backup.c_str(),
                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr);
  return done ? 0 : ::GetLastError();
}

// The old file went to the backup name, in place of the earlier backup, and the new one could
// not follow: the old one goes back. The message says where each file is, as found afterwards.
std::string Win32FileSystem::PutBack(const std::filesystem::path& file, const std::filesystem::path& backup,
                                     std::uint64_t size) {
  if (!Size(file) && Size(backup)) ::MoveFileExW(backup.c_str(), file.c_str(), MOVEFILE_WRITE_THROUGH);
  const std::string name = WideToUtf8(file.filename().wstring());
  const std::string kept = WideToUtf8(backup.filename().wstring());
  const std::string failed = "cannot replace the file (error 1177)";
  if (Size(file) == size) {
    return failed + ": it is as it was" + (Size(backup) ? "" : ", and the earlier " + kept + " is gone");
  }
  if (Size(backup)) {
    const std::string missing = Size(file) ? "" : " and " + name + " is missing";
    return failed + ", nor put it back: the settings it held are in " + kept + missing + "; save again, or rename " +
           kept + " to " + name + " before Murmuro starts again";
  }
  return failed + ", and neither " + name + " nor " + kept + " is there; save again to write " + name;
}

}  // namespace murmuro::win32
