#include "platform/documents_folder.h"

#include <gtest/gtest.h>

namespace helmsman::platform {
namespace {

TEST(XdgDocumentsFolderTest, FollowsTheUserDirsFile) {
  struct Row {
    std::string text;
    std::string home;
    std::optional<std::string> folder;
  } rows[] = {
      {"", "/home/ann", "/home/ann/Documents"},
      {"# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", "/home/ann",
       "/home/ann/Dokumente"},
      {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\r\nXDG_DOCUMENTS_DIR=\"/data/docs\"\r\n", "/home/ann",
       "/data/docs"},
      // The last line counts, as when the file is sourced by a shell.
      {"XDG_DOCUMENTS_DIR=\"$HOME/a\"\nXDG_DOCUMENTS_DIR=\"$HOME/b\"", "/h", "/h/b"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\n", "/h", "/h/My \"Docs\""},
      // Neither "$HOME" nor an absolute folder, no quotes, no closing quote: ignored.
      {"XDG_DOCUMENTS_DIR=\"docs\"\nXDG_DOCUMENTS_DIR=$HOME/x\nXDG_DOCUMENTS_DIR=\"/y\n", "/h",
       "/h/Documents"},
      {"", "", std::nullopt},
      {"XDG_DOCUMENTS_DIR=\"/srv/docs\"\n", "", "/srv/docs"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/docs\"\n", "", std::nullopt},
  };
  for (const Row& row : rows)
    EXPECT_EQ(XdgDocumentsFolder(row.text, row.home), row.folder) << row.text;
}

}  // namespace
}  // namespace helmsman::platform
