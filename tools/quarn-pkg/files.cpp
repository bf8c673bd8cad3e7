#include "files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

namespace quarn_pkg {
namespace {

std::string errno_text(int error) { return std::strerror(error); }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Mode of a newly created file as the process's umask allows it; mkstemp alone would
// leave the output readable by its owner only.
mode_t creation_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

// Devices and pipes (/dev/stdout, a fifo) cannot be replaced by a rename, and must not be:
// they are written in place.
Outcome<void> write_in_place(const std::filesystem::path& path,
                             std::span<const std::uint8_t> bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return io_failure(path.string() + ": cannot write: " + errno_text(errno));
  const bool ok = write_all(fd, bytes);
  const int write_error = errno;
  const bool closed = ::close(fd) == 0;
  if (!ok || !closed)
    return io_failure(path.string() + ": cannot write: " + errno_text(ok ? errno : write_error));
  return {};
}

}  // namespace

Outcome<std::vector<std::uint8_t>> read_file(const std::filesystem::path& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return io_failure(path.string() + ": cannot read: " + errno_text(errno));
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get()))
    return io_failure(path.string() + ": cannot read: " + errno_text(errno));
  return bytes;
}

Outcome<void> write_file_atomically(const std::filesystem::path& path,
                                    std::span<const std::uint8_t> bytes) {
  // Errors of these look-ups only mean there is nothing there yet; writing will tell.
  std::error_code ignored;
  const auto status = std::filesystem::status(path, ignored);
  if (std::filesystem::is_directory(status))
    return io_failure(path.string() + ": cannot write: Is a directory");
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return write_in_place(path, bytes);
  // A symbolic link to a file keeps pointing at it: the new file replaces its target.
  std::filesystem::path target = path;
  if (std::filesystem::exists(status) &&
      std::filesystem::is_symlink(std::filesystem::symlink_status(path, ignored))) {
    if (auto resolved = std::filesystem::canonical(path, ignored); !ignored) target = resolved;
  }

  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  std::string temp = (dir / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return io_failure(path.string() + ": cannot write: " + errno_text(errno));

  const bool ok = ::fchmod(fd, creation_mode()) == 0 && write_all(fd, bytes) && ::fsync(fd) == 0;
  const int write_error = errno;
  const bool closed = ::close(fd) == 0;
  if (!ok || !closed) {
    ::unlink(temp.c_str());
    return io_failure(path.string() + ": cannot write: " + errno_text(ok ? errno : write_error));
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int rename_error = errno;
    ::unlink(temp.c_str());
    return io_failure(path.string() + ": cannot write: " + errno_text(rename_error));
  }
  return {};
}

Outcome<void> write_file_atomically(const std::filesystem::path& path, std::string_view text) {
  return write_file_atomically(
      path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Outcome<void> make_directory(const std::filesystem::path& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) return io_failure(dir.string() + ": cannot create folder: " + error.message());
  if (!std::filesystem::is_directory(dir, error))
    return io_failure(dir.string() + ": cannot create folder: not a folder");
  return {};
}

}  // namespace quarn_pkg
