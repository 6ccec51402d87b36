// A file system held in memory, for the fuzz targets: the parsers that read through
// platform::FileSystem get their input without touching the disk, so that millions of runs
// cost no system calls and leave nothing behind. Folders exist once made (or once a file is
// put into them); paths are compared byte for byte.
#ifndef HELMSMAN_TOOLS_FUZZ_MEMORY_FILE_SYSTEM_H_
#define HELMSMAN_TOOLS_FUZZ_MEMORY_FILE_SYSTEM_H_

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace helmsman::fuzz {

class MemoryFileSystem : public platform::FileSystem {
 public:
  // Puts a file (and its folder) in place.
  void Put(const std::string& path, std::string data) {
    folders_.insert(platform::DirName(path));
    files_[path] = std::move(data);
  }
  void Reset() {
    files_.clear();
    folders_.clear();
  }

  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    auto it = files_.find(path);
    if (it == files_.end()) return Fail("no file " + path, error);
    *data = it->second;
    return true;
  }
  bool WriteFile(const std::string& path, const std::string& data, std::string* error) override {
    if (!folders_.count(platform::DirName(path))) return Fail("no folder for " + path, error);
    files_[path] = data;
    return true;
  }
  bool WriteFileDurably(const std::string& path, const std::string& data,
                        std::string* error) override {
    return WriteFile(path, data, error);
  }
  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    if (!folders_.count(platform::DirName(path))) return Fail("no folder for " + path, error);
    files_[path] += data;
    return true;
  }
  bool CopyFile(const std::string& from, const std::string& to, std::string* error) override {
    std::string data;
    return ReadFile(from, &data, error) && WriteFile(to, data, error);
  }
  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    if (!CopyFile(from, to, error)) return false;
    files_.erase(from);
    return true;
  }
  bool RemoveFile(const std::string& path) override { return files_.erase(path) > 0; }
  bool RemoveFileInFolder(const std::string& folder, const std::string& name,
                          std::string* error) override {
    if (!folders_.count(folder)) return Fail("no folder " + folder, error);
    return RemoveFile(platform::JoinPath(folder, name)) || Fail("no file " + name, error);
  }
  bool RemoveEmptyDirectory(const std::string& path) override { return folders_.erase(path) > 0; }
  bool MakeDirectory(const std::string& path) override { return folders_.insert(path).second; }
  bool FileExists(const std::string& path) override { return files_.count(path) > 0; }
  bool DirectoryExists(const std::string& path) override { return folders_.count(path) > 0; }
  bool IsLink(const std::string&) override { return false; }  // it holds no links
  int64_t FileSize(const std::string& path) override {
    auto it = files_.find(path);
    return it == files_.end() ? -1 : static_cast<int64_t>(it->second.size());
  }
  bool ListDirectory(const std::string& path, std::vector<platform::DirEntry>* entries) override {
    if (!folders_.count(path)) return false;
    entries->clear();
    for (const auto& [name, data] : files_) {
      if (platform::DirName(name) == path) entries->push_back({platform::BaseName(name), false});
    }
    for (const std::string& folder : folders_) {
      if (folder != path && platform::DirName(folder) == path)
        entries->push_back({platform::BaseName(folder), true});
    }
    std::sort(
        entries->begin(), entries->end(),
        [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
    return true;
  }

 private:
  static bool Fail(const std::string& why, std::string* error) {
    if (error) *error = why;
    return false;
  }

  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;
};

}  // namespace helmsman::fuzz

#endif  // HELMSMAN_TOOLS_FUZZ_MEMORY_FILE_SYSTEM_H_
