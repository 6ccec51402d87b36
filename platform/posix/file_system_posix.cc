// The POSIX file system: plain open/read/write with fsync and rename for durable writes, and
// removals relative to an open folder (openat/unlinkat) that never follow a link.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/file_system.h"

namespace helmsman::platform {

namespace {

std::string ErrorText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteWithFlags(const std::string& path, const std::string& data, int flags,
                    std::string* error, bool sync = false) {
  // O_NONBLOCK: a named pipe without a reader fails to open instead of waiting for one.
  int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) {
    if (error) *error = ErrorText("cannot open", path);
    return false;
  }
  bool ok = WriteAll(fd, data);
  if (!ok && error) *error = ErrorText("cannot write", path);
  if (ok && sync && ::fdatasync(fd) != 0) {
    ok = false;
    if (error) *error = ErrorText("cannot flush", path);
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    if (error) *error = ErrorText("cannot close", path);
  }
  return ok;
}

// A durable write's temporary file beside path, created exclusively and not through a link
// (O_EXCL also refuses a link, even a dangling one, in its place). A name that is taken
// (left by a killed writer, or planted) is passed over for another random one.
int CreateTemporaryBeside(const std::string& path, std::string* temp, std::string* error,
                          mode_t mode = 0644) {
  const std::string name = BaseName(path);
  const std::string folder_part = path.substr(0, path.size() - name.size());
  errno = EIO;  // when the system gives no random bytes
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string candidate =
        DurableWriteTemporaryName(name, static_cast<unsigned long>(::getpid()));
    if (candidate.back() == '.') break;  // no random part: the name could be guessed
    *temp = folder_part + candidate;
    int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  if (error) *error = ErrorText("cannot create a temporary file for", path);
  return -1;
}

// Flushes the folder that holds path, so that a rename into it survives a power loss.
bool IsNameInFolder(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Reads the whole regular file name of the open folder dir, never through a link.
bool ReadInFolder(int dir, const std::string& name, std::string* data) {
  const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  data->clear();
  char buffer[65536];
  while (ok) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    data->append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return ok;
}

// The move across file systems: the copy is made exclusively at the target, flushed, read
// back and compared; only then is the original removed. Any failure removes the copy.
bool CopyAcross(int from_dir, const std::string& from_name, int to_dir, const std::string& to_name,
                const std::string& from, const std::string& to, std::string* error) {
  std::string data;
  if (!ReadInFolder(from_dir, from_name, &data)) {
    if (error) *error = ErrorText("cannot read", from);
    return false;
  }
  const int out = ::openat(to_dir, to_name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (out < 0) {
    if (error) *error = errno == EEXIST ? "cannot move " + from + " to " + to + ": the target exists"
                                        : ErrorText("cannot create", to);
    return false;
  }
  bool ok = WriteAll(out, data) && ::fsync(out) == 0;
  if (!ok && error) *error = ErrorText("cannot write", to);
  if (::close(out) != 0 && ok) {
    ok = false;
    if (error) *error = ErrorText("cannot close", to);
  }
  std::string written;
  if (ok && (!ReadInFolder(to_dir, to_name, &written) || written != data)) {
    ok = false;
    if (error) *error = "cannot move " + from + ": the copy at " + to + " differs from it";
  }
  if (ok && (::fsync(to_dir) != 0 || ::unlinkat(from_dir, from_name.c_str(), 0) != 0)) {
    ok = false;
    if (error) *error = ErrorText("cannot remove the original", from);
  }
  if (!ok) {
    ::unlinkat(to_dir, to_name.c_str(), 0);
    return false;
  }
  ::fsync(from_dir);
  return true;
}

bool SyncFolderOf(const std::string& path) {
  std::string folder = DirName(path);
  if (folder.empty()) folder = path.find('/') == 0 ? "/" : ".";
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot
  ::close(fd);
  return ok;
}

// Opens path for reading when it is a regular file: without O_NONBLOCK, opening a named pipe
// waits for a writer, possibly for ever; what is opened is then refused unless it is a
// regular file (a device such as /dev/zero never ends). -1 and *error otherwise.
int OpenRegularFile(const std::string& path, struct stat* st, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (error) *error = ErrorText("cannot open", path);
    return -1;
  }
  if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    if (error) *error = "cannot read " + path + ": not a regular file";
    ::close(fd);
    return -1;
  }
  return fd;
}

class PosixFileSystem : public FileSystem {
 public:
  bool ReadFileTail(const std::string& path, size_t max_bytes, std::string* data,
                    std::string* error) override {
    struct stat st;
    const int fd = OpenRegularFile(path, &st, error);
    if (fd < 0) return false;
    const off_t size = st.st_size;
    off_t offset = size > static_cast<off_t>(max_bytes) ? size - static_cast<off_t>(max_bytes) : 0;
    data->assign(static_cast<size_t>(size - offset), '\0');
    size_t got = 0;
    while (got < data->size()) {
      const ssize_t n = ::pread(fd, data->data() + got, data->size() - got, offset);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (error) *error = ErrorText("cannot read", path);
        ::close(fd);
        return false;
      }
      if (n == 0) break;  // cut short meanwhile
      got += static_cast<size_t>(n);
      offset += n;
    }
    data->resize(got);
    ::close(fd);
    return true;
  }

  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    struct stat st;
    const int fd = OpenRegularFile(path, &st, error);
    if (fd < 0) return false;
    data->clear();
    if (st.st_size > 0) data->reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (error) *error = ErrorText("cannot read", path);
        ::close(fd);
        return false;
      }
      if (n == 0) break;
      data->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
  }

  bool WriteFile(const std::string& path, const std::string& data, std::string* error) override {
    return WriteWithFlags(path, data, O_TRUNC, error);
  }

  bool WriteFileDurably(const std::string& path, const std::string& data,
                        std::string* error) override {
    return WriteDurably(path, data, 0644, error);
  }

  bool WriteOwnerOnlyFileDurably(const std::string& path, const std::string& data,
                                 std::string* error) override {
    return WriteDurably(path, data, 0600, error);
  }

  bool WriteDurably(const std::string& path, const std::string& data, mode_t mode,
                    std::string* error) {
    std::string temp;
    int fd = CreateTemporaryBeside(path, &temp, error, mode);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
    if (!ok && error) *error = ErrorText("cannot write", temp);
    if (::close(fd) != 0 && ok) {
      ok = false;
      if (error) *error = ErrorText("cannot close", temp);
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
      ok = false;
      if (error) *error = ErrorText("cannot replace", path);
    }
    if (!ok) {
      ::unlink(temp.c_str());
      return false;
    }
    if (!SyncFolderOf(path)) {
      if (error) *error = ErrorText("cannot flush the folder of", path);
      return false;
    }
    return true;
  }

  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    return WriteWithFlags(path, data, O_APPEND, error);
  }

  bool AppendFileDurably(const std::string& path, const std::string& data,
                         std::string* error) override {
    return WriteWithFlags(path, data, O_APPEND | O_NOFOLLOW, error, true);
  }

  bool CopyFile(const std::string& from, const std::string& to, std::string* error) override {
    std::string data;
    return ReadFile(from, &data, error) && WriteFileDurably(to, data, error);
  }

  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (error) *error = ErrorText("cannot rename", from);
    return false;
  }

  bool RemoveFile(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  bool RemoveFileInFolder(const std::string& folder, const std::string& name,
                          std::string* error) override {
    const std::string path = JoinPath(folder, name);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
      if (error) *error = "cannot remove " + path + ": not a name in its folder";
      return false;
    }
    // O_NOFOLLOW: a folder swapped for a link since it was looked at fails here (ELOOP or
    // ENOTDIR) instead of leading the removal elsewhere.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
      if (error) *error = ErrorText("cannot open the folder", folder);
      return false;
    }
    struct stat st;
    bool ok = ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!ok) {
      if (error) *error = ErrorText("cannot examine", path);
    } else if (!S_ISREG(st.st_mode)) {
      ok = false;
      if (error) *error = "cannot remove " + path + ": not a file of its own (a link or a folder)";
    } else if (::unlinkat(dir, name.c_str(), 0) != 0) {
      ok = false;
      if (error) *error = ErrorText("cannot remove", path);
    }
    ::close(dir);
    return ok;
  }
  bool MoveFileBetweenFolders(const std::string& from_folder, const std::string& from_name,
                              const std::string& to_folder, const std::string& to_name,
                              std::string* error, MoveFlush flush) override {
    const std::string from = JoinPath(from_folder, from_name);
    const std::string to = JoinPath(to_folder, to_name);
    if (!IsNameInFolder(from_name) || !IsNameInFolder(to_name)) {
      if (error) *error = "cannot move " + from + " to " + to + ": not a name in its folder";
      return false;
    }
    const int from_dir = ::open(from_folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (from_dir < 0) {
      if (error) *error = ErrorText("cannot open the folder", from_folder);
      return false;
    }
    const int to_dir = ::open(to_folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (to_dir < 0) {
      if (error) *error = ErrorText("cannot open the folder", to_folder);
      ::close(from_dir);
      return false;
    }
    bool ok = false;
    struct stat st;
    if (::fstatat(from_dir, from_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (error) *error = ErrorText("cannot examine", from);
    } else if (!S_ISREG(st.st_mode)) {
      if (error) *error = "cannot move " + from + ": not a file of its own (a link or a folder)";
    } else if (::renameat2(from_dir, from_name.c_str(), to_dir, to_name.c_str(), RENAME_NOREPLACE) ==
               0) {
      ok = flush == MoveFlush::kByCaller || (::fsync(to_dir) == 0 && ::fsync(from_dir) == 0);
      if (!ok && error) *error = ErrorText("cannot flush the folder of", to);
    } else if (errno == EEXIST) {
      if (error) *error = "cannot move " + from + " to " + to + ": the target exists";
    } else if (errno == EXDEV || errno == EINVAL) {
      // Another file system (or one that cannot rename without replacing): copy and compare.
      ok = CopyAcross(from_dir, from_name, to_dir, to_name, from, to, error);
    } else {
      if (error) *error = ErrorText("cannot move " + from + " to", to);
    }
    ::close(to_dir);
    ::close(from_dir);
    return ok;
  }
  bool FlushFolder(const std::string& path, std::string* error) override {
    const int dir = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = dir >= 0 && ::fsync(dir) == 0;
    if (!ok && error) *error = ErrorText("cannot flush the folder", path);
    if (dir >= 0) ::close(dir);
    return ok;
  }
  bool FlushFileSystem(const std::string& path, std::string* error) override {
    const int dir = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef __linux__
    const bool ok = dir >= 0 && ::syncfs(dir) == 0;
#else
    const bool ok = dir >= 0 && (::sync(), true);
#endif
    if (!ok && error) *error = ErrorText("cannot flush the file system of", path);
    if (dir >= 0) ::close(dir);
    return ok;
  }
  bool RemoveEmptyDirectory(const std::string& path) override { return ::rmdir(path.c_str()) == 0; }
  bool MakeDirectory(const std::string& path) override {
    return ::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && DirectoryExists(path));
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }
  bool DirectoryExists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  bool IsLink(const std::string& path) override {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  }
  int64_t FileSize(const std::string& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
  }

  bool ListDirectory(const std::string& path, std::vector<DirEntry>* entries) override {
    entries->clear();
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return false;
    while (struct dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      // The entry's type comes with it on most file systems; only those that do not tell
      // need a look of their own. A link is reported as one and never followed.
      DirEntry entry{name, e->d_type == DT_DIR, e->d_type == DT_LNK};
      if (e->d_type == DT_UNKNOWN) {
        struct stat st;
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
          entry.is_directory = S_ISDIR(st.st_mode);
          entry.is_link = S_ISLNK(st.st_mode);
        }
      }
      entries->push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(entries->begin(), entries->end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return true;
  }
};

}  // namespace

FileSystem& DiskFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

std::string CurrentFolder() {
  char path[PATH_MAX];
  return ::getcwd(path, sizeof path) ? path : ".";
}

bool EnterFolder(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

}  // namespace helmsman::platform
