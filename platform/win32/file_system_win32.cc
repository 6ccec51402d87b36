// The Windows file system through kernel32's 8-bit ("A") calls: paths are in the system's
// code page, as the console keeps them. Durable writes go to a temporary file that is flushed
// and then moved over the target in one step (MoveFileEx with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH). Removals inside a folder hold that folder open, refusing a
// reparse point in its place, so that it cannot be swapped for a junction meanwhile, and
// never follow a reparse point (FILE_FLAG_OPEN_REPARSE_POINT).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/win32/system_error_win32.h"

namespace helmsman::platform {

namespace {

std::string ErrorText(const std::string& what, const std::string& path) {
  return LastErrorText(what + " " + path);
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (!valid()) return true;
    const bool ok = ::CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

bool WriteAll(HANDLE file, const std::string& data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(left, 1 << 20));
    DWORD written = 0;
    if (!::WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    left -= written;
  }
  return true;
}

bool WriteWithDisposition(const std::string& path, const std::string& data, bool append,
                          std::string* error, bool durable = false) {
  // Durable: a reparse point in the file's place is opened itself (and then refused by the
  // write), never followed.
  Handle file(::CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                            FILE_SHARE_READ, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | (durable ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                            nullptr));
  if (!file.valid()) {
    if (error) *error = ErrorText("cannot open", path);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (durable && (!::GetFileInformationByHandle(file.get(), &info) ||
                  (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    if (error) *error = "cannot write " + path + ": it is a link";
    return false;
  }
  bool ok = WriteAll(file.get(), data);
  if (!ok && error) *error = ErrorText("cannot write", path);
  if (ok && durable && !::FlushFileBuffers(file.get())) {
    ok = false;
    if (error) *error = ErrorText("cannot flush", path);
  }
  if (!file.Close() && ok) {
    ok = false;
    if (error) *error = ErrorText("cannot close", path);
  }
  return ok;
}

// The folder at path itself, opened without letting anyone delete or rename it while the
// handle is open; a reparse point in its place is opened, not followed.
HANDLE OpenFolderItself(const std::string& path) {
  return ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsFolderOfItsOwn(const Handle& folder) {
  BY_HANDLE_FILE_INFORMATION info;
  return folder.valid() && ::GetFileInformationByHandle(folder.get(), &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadHandle(HANDLE file, std::string* data) {
  data->clear();
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) return false;
    if (n == 0) return true;
    data->append(buffer, n);
  }
}

// A durable write's temporary file beside path: CREATE_NEW fails on any existing entry, a
// link included, so a planted one is never written through; a taken name is passed over.
HANDLE CreateTemporaryBeside(const std::string& path, std::string* temp, std::string* error) {
  const std::string name = BaseName(path);
  const std::string folder_part = path.substr(0, path.size() - name.size());
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string candidate =
        DurableWriteTemporaryName(name, static_cast<unsigned long>(::GetCurrentProcessId()));
    if (candidate.back() == '.') break;  // no random part: the name could be guessed
    *temp = folder_part + candidate;
    HANDLE file = ::CreateFileA(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  if (error) *error = ErrorText("cannot create a temporary file for", path);
  return INVALID_HANDLE_VALUE;
}

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  return ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, data) != 0;
}

class Win32FileSystem : public FileSystem {
 public:
  bool ReadFileTail(const std::string& path, size_t max_bytes, std::string* data,
                    std::string* error) override {
    Handle file(::CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
      if (error) *error = ErrorText("cannot open", path);
      return false;
    }
    // Only a file on disk is read: a pipe or a device may never end.
    LARGE_INTEGER size;
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size)) {
      if (error) *error = "cannot read " + path + ": not a regular file";
      return false;
    }
    const ULONGLONG length = static_cast<ULONGLONG>(size.QuadPart);
    LARGE_INTEGER offset;
    offset.QuadPart = length > max_bytes ? static_cast<LONGLONG>(length - max_bytes) : 0;
    if (offset.QuadPart > 0 && !::SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN)) {
      if (error) *error = ErrorText("cannot read", path);
      return false;
    }
    data->clear();
    data->reserve(static_cast<size_t>(length > max_bytes ? max_bytes : length));
    char buffer[65536];
    for (;;) {
      DWORD n = 0;
      if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
        if (error) *error = ErrorText("cannot read", path);
        return false;
      }
      if (n == 0) break;
      data->append(buffer, n);
      if (data->size() >= max_bytes) break;
    }
    if (data->size() > max_bytes) data->resize(max_bytes);
    return true;
  }

  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    return ReadFileTail(path, SIZE_MAX, data, error);
  }

  bool WriteFile(const std::string& path, const std::string& data, std::string* error) override {
    return WriteWithDisposition(path, data, false, error);
  }

  bool WriteFileDurably(const std::string& path, const std::string& data,
                        std::string* error) override {
    std::string temp;
    Handle file(CreateTemporaryBeside(path, &temp, error));
    if (!file.valid()) return false;
    bool ok = WriteAll(file.get(), data) && ::FlushFileBuffers(file.get());
    if (!ok && error) *error = ErrorText("cannot write", temp);
    if (!file.Close() && ok) {
      ok = false;
      if (error) *error = ErrorText("cannot close", temp);
    }
    if (ok && !::MoveFileExA(temp.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ok = false;
      if (error) *error = ErrorText("cannot replace", path);
    }
    if (!ok) ::DeleteFileA(temp.c_str());
    return ok;
  }

  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    return WriteWithDisposition(path, data, true, error);
  }

  bool AppendFileDurably(const std::string& path, const std::string& data,
                         std::string* error) override {
    return WriteWithDisposition(path, data, true, error, true);
  }

  bool CopyFile(const std::string& from, const std::string& to, std::string* error) override {
    std::string data;
    return ReadFile(from, &data, error) && WriteFileDurably(to, data, error);
  }

  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    // rename() replaces an existing target on POSIX; MoveFileEx is told to do the same.
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    if (error) *error = ErrorText("cannot rename", from);
    return false;
  }

  bool RemoveFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != 0; }

  bool RemoveFileInFolder(const std::string& folder, const std::string& name,
                          std::string* error) override {
    const std::string path = JoinPath(folder, name);
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("\\/:") != std::string::npos) {
      if (error) *error = "cannot remove " + path + ": not a name in its folder";
      return false;
    }
    // The folder stays open without FILE_SHARE_DELETE until the file is gone: nobody can
    // rename it away and put a junction in its place meanwhile.
    Handle dir(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!dir.valid() || !::GetFileInformationByHandle(dir.get(), &info)) {
      if (error) *error = ErrorText("cannot open the folder", folder);
      return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      if (error) *error = "cannot remove " + path + ": its folder is a link";
      return false;
    }
    Handle file(::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info)) {
      if (error) *error = ErrorText("cannot open", path);
      return false;
    }
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
      if (error) *error = "cannot remove " + path + ": not a file of its own (a link or a folder)";
      return false;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition)) {
      if (error) *error = ErrorText("cannot remove", path);
      return false;
    }
    return true;
  }
  bool MoveFileBetweenFolders(const std::string& from_folder, const std::string& from_name,
                              const std::string& to_folder, const std::string& to_name,
                              std::string* error, MoveFlush flush) override {
    const std::string from = JoinPath(from_folder, from_name);
    const std::string to = JoinPath(to_folder, to_name);
    auto plain = [](const std::string& name) {
      return !name.empty() && name != "." && name != ".." &&
             name.find_first_of("\\/:") == std::string::npos;
    };
    if (!plain(from_name) || !plain(to_name)) {
      if (error) *error = "cannot move " + from + " to " + to + ": not a name in its folder";
      return false;
    }
    // Both folders stay open without FILE_SHARE_DELETE until the move is done: nobody can
    // rename one away and put a junction in its place meanwhile.
    Handle from_dir(OpenFolderItself(from_folder));
    Handle to_dir(OpenFolderItself(to_folder));
    if (!IsFolderOfItsOwn(from_dir) || !IsFolderOfItsOwn(to_dir)) {
      if (error) *error = "cannot move " + from + " to " + to + ": a folder is missing or a link";
      return false;
    }
    Handle file(::CreateFileA(from.c_str(), GENERIC_READ | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info)) {
      if (error) *error = ErrorText("cannot open", from);
      return false;
    }
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
      if (error) *error = "cannot move " + from + ": not a file of its own (a link or a folder)";
      return false;
    }
    // Without MOVEFILE_REPLACE_EXISTING nothing at the target is ever replaced.
    const DWORD through = flush == MoveFlush::kNow ? MOVEFILE_WRITE_THROUGH : 0;
    if (::MoveFileExA(from.c_str(), to.c_str(), through)) return true;
    const DWORD failure = ::GetLastError();
    if (failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS) {
      if (error) *error = "cannot move " + from + " to " + to + ": the target exists";
      return false;
    }
    if (failure != ERROR_NOT_SAME_DEVICE) {
      if (error) *error = ErrorText("cannot move " + from + " to", to);
      return false;
    }
    // Another volume: copy exclusively, flush, read back and compare, then delete.
    std::string data;
    if (!ReadHandle(file.get(), &data)) {
      if (error) *error = ErrorText("cannot read", from);
      return false;
    }
    bool ok = false;
    {
      Handle out(::CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      if (!out.valid()) {
        if (error) *error = ErrorText("cannot create", to);
        return false;
      }
      ok = WriteAll(out.get(), data) && ::FlushFileBuffers(out.get());
      ok = out.Close() && ok;
    }
    std::string written;
    if (ok) ok = ReadFile(to, &written, nullptr) && written == data;
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (ok) {
      ok = ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
    }
    if (!ok) {
      if (error) *error = "cannot move " + from + " to " + to + ": the copy failed or differs";
      ::DeleteFileA(to.c_str());
    }
    return ok;
  }
  bool RemoveEmptyDirectory(const std::string& path) override {
    return ::RemoveDirectoryA(path.c_str()) != 0;
  }
  bool MakeDirectory(const std::string& path) override {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0 ||
           (::GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(path));
  }

  bool FileExists(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return Attributes(path, &data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool DirectoryExists(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return Attributes(path, &data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool IsLink(const std::string& path) override {
    // The entry's own attributes, as the folder listing gives them: the attribute call may
    // answer for what a link leads to.
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    ::FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }
  int64_t FileSize(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!Attributes(path, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  bool ListDirectory(const std::string& path, std::vector<DirEntry>* entries) override {
    entries->clear();
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(JoinPath(path, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
      // An empty folder still has "." and ".."; nothing found means no such folder.
      return false;
    }
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      // A junction or symbolic link carries FILE_ATTRIBUTE_DIRECTORY when it points at a
      // folder; it is a link all the same, and never followed.
      const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      entries->push_back(
          {name, !link && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, link});
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(entries->begin(), entries->end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return true;
  }
};

}  // namespace

// Here rather than beside the launcher: QVCodec takes the short form of its source path and
// links only the files part of the platform layer.
std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD n = ::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  // A path that does not exist (or a file system without short names) keeps its long form.
  if (n == 0 || n >= sizeof buffer) return path;
  return std::string(buffer, n);
}

FileSystem& DiskFileSystem() {
  static Win32FileSystem file_system;
  return file_system;
}

std::string CurrentFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = ::GetCurrentDirectoryA(sizeof path, path);
  return length > 0 && length < sizeof path ? std::string(path, length) : ".";
}

bool EnterFolder(const std::string& folder) { return ::SetCurrentDirectoryA(folder.c_str()) != 0; }

}  // namespace helmsman::platform
