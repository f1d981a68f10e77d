#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <system_error>

namespace tessaro {

namespace {

[[noreturn]] void Fail(const char* what, const std::filesystem::path& target, int err) {
  throw std::filesystem::filesystem_error(what, target, std::error_code(err, std::generic_category()));
}

// Unique within the process (counter) and across processes (pid, clock); O_EXCL
// below rejects the rare collision instead of clobbering someone else's file.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path tmp = target;
  tmp += ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
         std::to_string(static_cast<unsigned long long>(tick) % 1000000u);
  return tmp;
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, const void* data,
                         std::size_t size) {
  std::filesystem::path tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    tmp = TemporaryNameFor(target);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) Fail("cannot create file", target, errno);
  }
  if (fd < 0) Fail("cannot create file", target, EEXIST);

  const auto* p = static_cast<const unsigned char*>(data);
  std::size_t left = size;
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(tmp.c_str());
      Fail("cannot write file", target, err);
    }
    p += n;
    left -= std::size_t(n);
  }
  // Without the flush a crash right after the rename can leave an empty target on
  // some file systems, which is exactly what the temporary file is meant to prevent.
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
    const int err = errno;
    ::close(fd);
    ::unlink(tmp.c_str());
    Fail("cannot write file", target, err);
  }
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    Fail("cannot write file", target, err);
  }
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    Fail("cannot replace file", target, err);
  }
}

TReadResult ReadFileBounded(const std::filesystem::path& file, std::size_t maxBytes,
                            std::string& out) {
  out.clear();
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (ec || !std::filesystem::exists(status)) return TReadResult::Missing;
  if (!std::filesystem::is_regular_file(status)) return TReadResult::Failed;

  std::ifstream in(file, std::ios::binary);
  if (!in) return TReadResult::Failed;
  // Read in chunks rather than trusting the reported size: the file may change
  // underneath, and the bound must hold whatever the size said.
  std::string buffer;
  char chunk[65536];
  while (in) {
    in.read(chunk, sizeof chunk);
    const std::size_t got = std::size_t(in.gcount());
    if (buffer.size() + got > maxBytes) return TReadResult::TooLarge;
    buffer.append(chunk, got);
  }
  if (in.bad()) return TReadResult::Failed;
  out.swap(buffer);
  return TReadResult::Ok;
}

}  // namespace tessaro
