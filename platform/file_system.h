// Files and folders. Everything the console does on disk goes through a FileSystem, so that
// tests can inject faults (a full disk, a vanished folder) into the real one.
//
// Paths are 8-bit texts in the system's code page. JoinPath puts the platform's separator
// between a folder and a name; the "\" of the system's own path texts is that separator.
#ifndef HELMSMAN_PLATFORM_FILE_SYSTEM_H_
#define HELMSMAN_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <string>
#include <vector>

namespace helmsman::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// folder + separator + name; a folder that already ends in a separator gets no second one.
std::string JoinPath(const std::string& folder, const std::string& name);
// The part after the last separator.
std::string BaseName(const std::string& path);
// The part before the last separator ("" when there is none).
std::string DirName(const std::string& path);
// Whether path names its place without the current folder: "/..." on POSIX; "C:\...",
// "C:/...", "\\server\share\..." or "\..." (the current drive's root) on Windows.
bool IsAbsolutePath(const std::string& path);
// The process's current folder ("." when it cannot be read), and entering another one (false
// when there is no such folder or it cannot be entered).
std::string CurrentFolder();
bool EnterFolder(const std::string& folder);

struct DirEntry {
  std::string name;
  // A folder of its own. A link to a folder is not one: links are never followed.
  bool is_directory = false;
  // A symbolic link (on Windows also a junction or any other reparse point), whatever it
  // points at.
  bool is_link = false;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Reads the whole file into *data. Only a regular file is read: a named pipe, a device or
  // a folder fails at once ("not a regular file") instead of blocking or never ending.
  // On failure returns false and sets *error.
  virtual bool ReadFile(const std::string& path, std::string* data, std::string* error) = 0;
  // The last max_bytes of a regular file (all of it when it is shorter), as ReadFile, without
  // reading what comes before them.
  virtual bool ReadFileTail(const std::string& path, size_t max_bytes, std::string* data,
                            std::string* error) {
    if (!ReadFile(path, data, error)) return false;
    if (data->size() > max_bytes) data->erase(0, data->size() - max_bytes);
    return true;
  }
  // Creates or replaces the file with data, in place.
  virtual bool WriteFile(const std::string& path, const std::string& data, std::string* error) = 0;
  // Replaces the file with data durably: the bytes go to a temporary file in the same
  // folder, which is flushed to disk and renamed over the target; on POSIX the folder is
  // flushed after the rename. The temporary file is created exclusively, never through a
  // link, under a name that cannot be guessed (see kDurableWriteInfix), so a link planted
  // beside the target cannot redirect the write. A link at the target itself is replaced,
  // not followed. On failure the target is untouched and the temporary file is gone. A
  // process killed before the rename leaves the temporary file behind (see
  // RemoveDurableWriteLeftovers).
  virtual bool WriteFileDurably(const std::string& path, const std::string& data,
                                std::string* error) = 0;
  // As WriteFileDurably, and only the file's owner may read or write the new file (mode 0600
  // on POSIX, from its creation on). On Windows the file keeps the folder's default ACL.
  // Fakes that keep no modes need not tell the two apart.
  virtual bool WriteOwnerOnlyFileDurably(const std::string& path, const std::string& data,
                                         std::string* error) {
    return WriteFileDurably(path, data, error);
  }
  // Appends data to the file, creating it when it does not exist.
  virtual bool AppendFile(const std::string& path, const std::string& data, std::string* error) = 0;
  // As AppendFile, and the data is on the disk when it returns true; never through a link at
  // path. Fakes that keep no disk need not tell the two apart.
  virtual bool AppendFileDurably(const std::string& path, const std::string& data,
                                 std::string* error) {
    return AppendFile(path, data, error);
  }
  // Copies from over to, durably as WriteFileDurably: on failure `to` is as it was.
  virtual bool CopyFile(const std::string& from, const std::string& to, std::string* error) = 0;
  virtual bool RenameFile(const std::string& from, const std::string& to, std::string* error) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Removes the file `name` from `folder` without ever following a link: the folder is
  // opened without following a link in its own place (one swapped for a link between a
  // check and this call fails), and the entry is removed only when it is a file of its own,
  // not a link and not a folder. On failure returns false and sets *error; nothing changed.
  virtual bool RemoveFileInFolder(const std::string& folder, const std::string& name,
                                  std::string* error) = 0;
  // Moves from_folder/from_name to to_folder/to_name, never through a link: both folders are
  // opened without following a link in their own place, only a regular file of its own is
  // moved, and a file (or anything) already at the target is never replaced. Within one file
  // system this is a rename; across file systems the file is copied to the target, flushed,
  // read back and compared, and only then removed from its folder. On failure (a full disk
  // included) the file is where it was, nothing is left at the target, and *error says why.
  // A rename is flushed to the disk (both folders) before it returns unless flush is
  // MoveFlush::kByCaller: then the caller flushes the folders with FlushFolder after a batch
  // of moves (a rename is atomic, so a power loss before that leaves each file in one of its
  // two places). A copy across file systems is always flushed before the original goes.
  // Fakes that keep no disk need not support it.
  enum class MoveFlush { kNow, kByCaller };
  virtual bool MoveFileBetweenFolders(const std::string& from_folder, const std::string& from_name,
                                      const std::string& to_folder, const std::string& to_name,
                                      std::string* error, MoveFlush flush) {
    if (error) *error = "cannot move " + from_name + ": not supported here";
    (void)from_folder;
    (void)to_folder;
    (void)to_name;
    (void)flush;
    return false;
  }
  // Flushes a folder's entries (names made, renamed or removed in it) to the disk; true where
  // the system has no such step.
  virtual bool FlushFolder(const std::string& path, std::string* error) {
    (void)path;
    (void)error;
    return true;
  }
  // Flushes everything written to the file system that holds path (Linux: syncfs), in one
  // step where thousands of FlushFolder calls would each wait for the disk; true where the
  // system has no such step.
  virtual bool FlushFileSystem(const std::string& path, std::string* error) {
    (void)path;
    (void)error;
    return true;
  }
  // Removes an empty folder; a link in its place is not removed and not followed.
  virtual bool RemoveEmptyDirectory(const std::string& path) = 0;
  virtual bool MakeDirectory(const std::string& path) = 0;

  virtual bool FileExists(const std::string& path) = 0;       // a file, not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;  // a folder
  // Whether the path itself is a link (see DirEntry::is_link); its target is not looked at.
  virtual bool IsLink(const std::string& path) = 0;
  // Size in bytes, or -1 when the file cannot be examined.
  virtual int64_t FileSize(const std::string& path) = 0;
  // The entries of a folder (without "." and ".."), sorted by name byte for byte.
  // Returns false when the folder cannot be read.
  virtual bool ListDirectory(const std::string& path, std::vector<DirEntry>* entries) = 0;
};

// The machine's own file system.
FileSystem& DiskFileSystem();

// Passes every call on to another file system (the disk by default). Fault-injecting fakes
// derive from it and override only the calls they break.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& target = DiskFileSystem()) : target_(target) {}

  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    return target_.ReadFile(path, data, error);
  }
  bool ReadFileTail(const std::string& path, size_t max_bytes, std::string* data,
                    std::string* error) override {
    return target_.ReadFileTail(path, max_bytes, data, error);
  }
  bool WriteFile(const std::string& path, const std::string& data, std::string* error) override {
    return target_.WriteFile(path, data, error);
  }
  bool WriteFileDurably(const std::string& path, const std::string& data,
                        std::string* error) override {
    return target_.WriteFileDurably(path, data, error);
  }
  bool WriteOwnerOnlyFileDurably(const std::string& path, const std::string& data,
                                 std::string* error) override {
    return target_.WriteOwnerOnlyFileDurably(path, data, error);
  }
  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    return target_.AppendFile(path, data, error);
  }
  bool AppendFileDurably(const std::string& path, const std::string& data,
                         std::string* error) override {
    return target_.AppendFileDurably(path, data, error);
  }
  bool MoveFileBetweenFolders(const std::string& from_folder, const std::string& from_name,
                              const std::string& to_folder, const std::string& to_name,
                              std::string* error, MoveFlush flush) override {
    return target_.MoveFileBetweenFolders(from_folder, from_name, to_folder, to_name, error, flush);
  }
  bool FlushFolder(const std::string& path, std::string* error) override {
    return target_.FlushFolder(path, error);
  }
  bool FlushFileSystem(const std::string& path, std::string* error) override {
    return target_.FlushFileSystem(path, error);
  }
  bool CopyFile(const std::string& from, const std::string& to, std::string* error) override {
    return target_.CopyFile(from, to, error);
  }
  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    return target_.RenameFile(from, to, error);
  }
  bool RemoveFile(const std::string& path) override { return target_.RemoveFile(path); }
  bool RemoveFileInFolder(const std::string& folder, const std::string& name,
                          std::string* error) override {
    return target_.RemoveFileInFolder(folder, name, error);
  }
  bool RemoveEmptyDirectory(const std::string& path) override {
    return target_.RemoveEmptyDirectory(path);
  }
  bool MakeDirectory(const std::string& path) override { return target_.MakeDirectory(path); }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return target_.DirectoryExists(path); }
  bool IsLink(const std::string& path) override { return target_.IsLink(path); }
  int64_t FileSize(const std::string& path) override { return target_.FileSize(path); }
  bool ListDirectory(const std::string& path, std::vector<DirEntry>* entries) override {
    return target_.ListDirectory(path, entries);
  }

 private:
  FileSystem& target_;
};

// The temporary file of a durable write is named after its target: the target's name, this
// infix, the writer's process id, a dot and 16 random hexadecimal digits, so that two
// processes never write the same one and nobody can guess it in advance.
inline constexpr char kDurableWriteInfix[] = ".new";

// True when name is that of a temporary file WriteFileDurably writes before it renames it
// over the file target_name in the same folder (also the form of earlier versions, without
// the random part).
bool IsDurableWriteLeftover(const std::string& target_name, const std::string& name);
// Removes from folder the temporary files that durable writes of the named files left when
// they were interrupted (the process killed mid-save), and nothing else; returns the names
// removed, sorted. Call it only while no durable write of those files is under way.
std::vector<std::string> RemoveDurableWriteLeftovers(FileSystem& fs, const std::string& folder,
                                                     const std::vector<std::string>& target_names);

// The name of a durable write's temporary file for the target name, written by the process
// process_id (see kDurableWriteInfix); every call gives another random part.
std::string DurableWriteTemporaryName(const std::string& target_name, unsigned long process_id);

// Case-insensitive comparison of ASCII letters, as Windows compares file names.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
bool EndsWithIgnoreCase(const std::string& text, const std::string& suffix);

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_FILE_SYSTEM_H_
