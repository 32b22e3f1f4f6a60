#include "tree_files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/sha256.hpp"

namespace zrq::channel {

namespace {

constexpr std::size_t kChunk = 65536;

[[noreturn]] void fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

void makeParents(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string dir = path.substr(0, slash);
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) fail("cannot make directory", dir);
  }
}

std::string temporarySibling(const std::string& path) {
  std::random_device random;
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // A leading dot keeps the half-written file out of the host's view.
  return dir + "." + name + "." + std::to_string(random()) + std::to_string(random()) + ".tmp";
}

void writeAll(int fd, const char* data, std::size_t length, const std::string& path) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      fail("cannot write", path);
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
}

template <typename Fill>
void replaceAtomically(const std::string& path, Fill&& fill) {
  makeParents(path);
  const std::string temporary = temporarySibling(path);
  Fd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (fd.get() < 0) fail("cannot create", temporary);
  try {
    fill(fd.get(), temporary);
    if (::fsync(fd.get()) != 0) fail("cannot flush", temporary);
    if (::close(fd.release()) != 0) fail("cannot close", temporary);
    if (::rename(temporary.c_str(), path.c_str()) != 0) fail("cannot rename onto", path);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

}  // namespace

void writeFileAtomic(const std::string& path, const std::string& content) {
  replaceAtomically(path, [&](int fd, const std::string& temporary) {
    writeAll(fd, content.data(), content.size(), temporary);
  });
}

void writeNewFile(const std::string& path, const std::string& content, unsigned mode) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (fd.get() < 0) fail("cannot create", path);
  try {
    if (::fchmod(fd.get(), mode) != 0) fail("cannot set the mode of", path);
    writeAll(fd.get(), content.data(), content.size(), path);
    if (::fsync(fd.get()) != 0) fail("cannot flush", path);
    if (::close(fd.release()) != 0) fail("cannot close", path);
  } catch (...) {
    ::unlink(path.c_str());
    throw;
  }
}

void copyFileAtomic(const std::string& source, const std::string& target) {
  replaceAtomically(target, [&](int fd, const std::string& temporary) {
    streamFile(source, [&](const char* data, unsigned long length) {
      writeAll(fd, data, length, temporary);
    });
  });
}

std::optional<std::string> readSmallFile(const std::string& path, std::uint64_t limit) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return std::nullopt;
    fail("cannot examine", path);
  }
  if (!S_ISREG(info.st_mode)) throw std::runtime_error(path + " is not a regular file");
  const auto tooLarge = [&] {
    return std::runtime_error(path + " is larger than " + std::to_string(limit) + " bytes");
  };
  if (static_cast<std::uint64_t>(info.st_size) > limit) throw tooLarge();
  std::string content;
  streamFile(path, [&](const char* data, unsigned long length) {
    if (length > limit - content.size()) throw tooLarge();  // it grew meanwhile
    content.append(data, length);
  });
  return content;
}

void streamFile(const std::string& path,
                const std::function<void(const char* data, unsigned long length)>& onChunk) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) fail("cannot open", path);
  std::vector<char> buffer(kChunk);
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      fail("cannot read", path);
    }
    if (got == 0) return;
    onChunk(buffer.data(), static_cast<unsigned long>(got));
  }
}

FileDigest digestFile(const std::string& path) {
  FileDigest result;
  cv::Sha256 digest;
  streamFile(path, [&](const char* data, unsigned long length) {
    digest.update(data, length);
    result.size += length;
  });
  result.sha256 = cv::toHex(digest.finish());
  return result;
}

bool isRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::string> jsonFileNames(const std::string& dir) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(dir.c_str()), ::closedir);
  if (!handle) return names;
  while (const dirent* item = ::readdir(handle.get())) {
    const std::string name = item->d_name;
    if (name.size() > 5 && name[0] != '.' && name.compare(name.size() - 5, 5, ".json") == 0) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zrq::channel
