// What the universe tests compare: files read whole, and a folder's whole tree.
#ifndef HELMSMAN_GAMEFILES_TESTING_FILE_TREE_H_
#define HELMSMAN_GAMEFILES_TESTING_FILE_TREE_H_

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace helmsman::gamefiles::testing {

inline std::string Read(const std::string& path) {
  std::string data, error;
  EXPECT_TRUE(platform::DiskFileSystem().ReadFile(path, &data, &error)) << error;
  return data;
}

// Every file under folder, as path relative to it -> content.
inline std::map<std::string, std::string> Tree(const std::string& folder,
                                               const std::string& prefix = "") {
  std::map<std::string, std::string> tree;
  std::vector<platform::DirEntry> entries;
  EXPECT_TRUE(platform::DiskFileSystem().ListDirectory(folder, &entries)) << folder;
  for (const platform::DirEntry& entry : entries) {
    const std::string path = platform::JoinPath(folder, entry.name);
    if (entry.is_directory) {
      tree.merge(Tree(path, prefix + entry.name + "/"));
    } else {
      tree[prefix + entry.name] = Read(path);
    }
  }
  return tree;
}

}  // namespace helmsman::gamefiles::testing

#endif  // HELMSMAN_GAMEFILES_TESTING_FILE_TREE_H_
