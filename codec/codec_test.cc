#include "codec/codec.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "codec/os_test_helpers.h"
#include "codec/qvcodec.h"
#include "codec/scramble.h"
#include "platform/file_system.h"

namespace helmsman::codec {
namespace {

using platform::DiskFileSystem;
using platform::FileSystem;
using platform::JoinPath;

// Every byte value, several times over, so that every mask meets every byte.
std::string AllBytes(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 7 + i / 256) % 256);
  return text;
}

TEST(CodecMaskTest, KnownMasks) {
  struct Row {
    uint32_t position;
    uint8_t mask;
  };
  // 'V' 0x56, 'r' 0x72, 'a' 0x61, 'k' 0x6B, plus the position, top bit set.
  for (const Row& row : std::vector<Row>{{0, 0xD6},
                                         {1, 0xF3},
                                         {2, 0xE3},
                                         {3, 0xEE},
                                         {4, 0xDA},
                                         {42, 0x8B},
                                         {200, 0x9E},
                                         {255, 0xEA},
                                         {256, 0xD6},
                                         {0xFFFFFFFF, 0xEA}}) {
    EXPECT_EQ(MaskAt(row.position), row.mask) << "position " << row.position;
  }
}

TEST(CodecMaskTest, RepeatsEvery256Positions) {
  for (uint32_t i = 0; i < 256; ++i) {
    EXPECT_EQ(MaskAt(i), MaskAt(i + 256)) << i;
    EXPECT_EQ(MaskAt(i), MaskAt(i + 256 * 1000)) << i;
    EXPECT_NE(MaskAt(i) & 0x80, 0) << i;
  }
  // With the top bit forced, the sequence in fact already repeats after 128 positions, and
  // after no shorter distance.
  auto repeats_after = [](uint32_t distance) {
    for (uint32_t i = 0; i < 256; ++i) {
      if (MaskAt(i) != MaskAt(i + distance)) return false;
    }
    return true;
  };
  EXPECT_TRUE(repeats_after(128));
  for (uint32_t distance = 1; distance < 128; ++distance) {
    EXPECT_FALSE(repeats_after(distance)) << distance;
  }
}

TEST(CodecScrambleTest, MatchesTheMaskOfEveryPosition) {
  struct Row {
    size_t size;
    uint32_t first;
  };
  for (const Row& row : std::vector<Row>{{0, 0},
                                         {1, 0},
                                         {255, 0},
                                         {256, 0},
                                         {257, 0},
                                         {1000, 0},
                                         {1000, 3},
                                         {5, 254},
                                         {600, 255},
                                         {600, 256},
                                         {513, 77}}) {
    std::string text = AllBytes(row.size);
    std::string scrambled = text;
    Scramble(scrambled.data(), scrambled.size(), row.first);
    for (size_t i = 0; i < row.size; ++i) {
      ASSERT_EQ(static_cast<uint8_t>(scrambled[i]),
                static_cast<uint8_t>(text[i]) ^ MaskAt(row.first + static_cast<uint32_t>(i)))
          << "size " << row.size << " first " << row.first << " byte " << i;
    }
  }
}

TEST(CodecScrambleTest, EncodeThenDecodeGivesTheText) {
  EXPECT_EQ(EncodeText("AB"), std::string("QVS1\x97\xB1", 6));
  EXPECT_EQ(EncodeText(""), "QVS1");
  std::string text = AllBytes(3000);
  std::string plain;
  ASSERT_TRUE(DecodeText(EncodeText(text), &plain));
  EXPECT_EQ(plain, text);
}

TEST(CodecScrambleTest, DecodeRefusesContentWithoutMagic) {
  std::string plain = "untouched";
  for (std::string_view content : {"", "QVS", "QVS2abc", "qvs1abc", "xQVS1"}) {
    EXPECT_FALSE(DecodeText(content, &plain)) << content;
  }
  EXPECT_EQ(plain, "untouched");
}

// A disk that fails where a test tells it to; everything else goes to the real one.
class FaultyFileSystem : public platform::ForwardingFileSystem {
 public:
  int64_t reported_size = -2;  // >= -1: FileSize answers this
  bool read_fails = false;     // ReadFile reports failure
  bool read_runs_out_of_memory = false;
  size_t read_keeps = std::string::npos;    // ReadFile delivers only this many bytes
  size_t append_keeps = std::string::npos;  // AppendFile writes this many bytes, then fails

  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    if (read_runs_out_of_memory) throw std::bad_alloc();
    if (read_fails) return false;
    if (!disk_.ReadFile(path, data, error)) return false;
    if (read_keeps < data->size()) data->resize(read_keeps);
    return true;
  }
  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    if (append_keeps >= data.size()) return disk_.AppendFile(path, data, error);
    disk_.AppendFile(path, data.substr(0, append_keeps), error);
    return false;
  }
  int64_t FileSize(const std::string& path) override {
    return reported_size >= -1 ? reported_size : disk_.FileSize(path);
  }

 private:
  FileSystem& disk_ = DiskFileSystem();
};

class CodecConvertTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return JoinPath(folder_.path(), name); }
  void Put(const std::string& name, const std::string& data) {
    std::string error;
    ASSERT_TRUE(disk_.WriteFile(Path(name), data, &error)) << error;
  }
  std::string Get(const std::string& name) {
    std::string data, error;
    EXPECT_TRUE(disk_.ReadFile(Path(name), &data, &error)) << error;
    return data;
  }
  int32_t Run(int32_t operation, const std::string& source, const std::string& target,
              FileSystem& files = DiskFileSystem()) {
    return Convert(operation, Path(source).c_str(), Path(target).c_str(), files);
  }

  testing::TemporaryFolder folder_;
  FileSystem& disk_ = DiskFileSystem();
};

TEST_F(CodecConvertTest, DecodeThenEncodeReproducesTheScrambledFile) {
  std::string text = "[Player]\r\nname = 0041\r\n" + AllBytes(5000);
  Put("a.qv", EncodeText(text));
  ASSERT_EQ(Run(kDecode, "a.qv", "a.txt"), kSuccess);
  EXPECT_EQ(Get("a.txt"), text);
  ASSERT_EQ(Run(kEncode, "a.txt", "b.qv"), kSuccess);
  EXPECT_EQ(Get("b.qv"), Get("a.qv"));
}

TEST_F(CodecConvertTest, EmptyTextAndBareMagic) {
  Put("empty.txt", "");
  ASSERT_EQ(Run(kEncode, "empty.txt", "empty.qv"), kSuccess);
  EXPECT_EQ(Get("empty.qv"), "QVS1");
  ASSERT_EQ(Run(kDecode, "empty.qv", "empty.out"), kSuccess);
  EXPECT_TRUE(disk_.FileExists(Path("empty.out")));
  EXPECT_EQ(Get("empty.out"), "");
}

TEST_F(CodecConvertTest, TargetIsTruncatedAndMayBeTheSource) {
  Put("a.txt", "short");
  Put("a.qv", std::string(10000, 'x'));
  ASSERT_EQ(Run(kEncode, "a.txt", "a.qv"), kSuccess);
  EXPECT_EQ(Get("a.qv"), EncodeText("short"));
  ASSERT_EQ(Run(kDecode, "a.qv", "a.qv"), kSuccess);  // in place
  EXPECT_EQ(Get("a.qv"), "short");
}

TEST_F(CodecConvertTest, BadInputGivesItsCodeAndTouchesNoTarget) {
  Put("empty", "");
  Put("three", "QVS");
  Put("wrong", "QVS2 text");
  Put("plain.txt", "name = 0041\r\n");
  ASSERT_TRUE(disk_.MakeDirectory(Path("folder")));
  struct Row {
    int32_t operation;
    std::string source;
    int32_t code;
  };
  for (const Row& row : std::vector<Row>{{kDecode, "missing.qv", kNoShortPath},
                                         {kEncode, "missing.txt", kNoShortPath},
                                         {kDecode, "folder", kSourceNotOpened},
                                         {kEncode, "folder", kSourceNotOpened},
                                         {kDecode, "empty", kNotScrambled},
                                         {kDecode, "three", kNotScrambled},
                                         {kDecode, "wrong", kNotScrambled},
                                         {kDecode, "plain.txt", kNotScrambled},
                                         {0, "plain.txt", kBadArguments},
                                         {3, "plain.txt", kBadArguments},
                                         {-1, "plain.txt", kBadArguments}}) {
    EXPECT_EQ(Run(row.operation, row.source, "out"), row.code) << row.source;
    EXPECT_FALSE(disk_.FileExists(Path("out"))) << row.source;
  }
}

TEST_F(CodecConvertTest, WrongTypeLeavesAnExistingTargetAlone) {
  Put("a.txt", "text");
  Put("out", "keep me");
  EXPECT_EQ(Run(0, "a.txt", "out"), kBadArguments);
  EXPECT_EQ(Run(3, "a.txt", "out"), kBadArguments);
  EXPECT_EQ(Get("out"), "keep me");
}

TEST_F(CodecConvertTest, AbsentPathsGive261) {
  Put("a.txt", "text");
  std::string source = Path("a.txt"), target = Path("out");
  EXPECT_EQ(Convert(kEncode, nullptr, target.c_str(), disk_), kBadArguments);
  EXPECT_EQ(Convert(kEncode, source.c_str(), nullptr, disk_), kBadArguments);
  EXPECT_EQ(Convert(kDecode, nullptr, nullptr, disk_), kBadArguments);
  EXPECT_FALSE(disk_.FileExists(target));
}

TEST_F(CodecConvertTest, TargetThatCannotBeCreated) {
  Put("a.txt", "text");
  ASSERT_TRUE(disk_.MakeDirectory(Path("folder")));
  EXPECT_EQ(Run(kEncode, "a.txt", "no/such/folder/a.qv"), kTargetNotCreated);
  EXPECT_EQ(Run(kEncode, "a.txt", "folder"), kTargetNotCreated);
}

TEST_F(CodecConvertTest, SourcePathMustFitTheShortPathBuffer) {
  // Build an existing file whose path is exactly 511 bytes (fits with its terminator) and a
  // sibling of 512 bytes.
  std::string folder = folder_.path();
  while (folder.size() + 1 + 200 < kShortPathCapacity - 1 - 20) {
    folder = JoinPath(folder, std::string(200, 'd'));
    ASSERT_TRUE(disk_.MakeDirectory(folder));
  }
  size_t name_length = kShortPathCapacity - 1 - folder.size() - 1;
  std::string fits = JoinPath(folder, std::string(name_length, 'f'));
  std::string too_long = JoinPath(folder, std::string(name_length + 1, 'f'));
  ASSERT_EQ(fits.size(), kShortPathCapacity - 1);
  std::string error;
  ASSERT_TRUE(disk_.WriteFile(fits, "text", &error)) << error;
  ASSERT_TRUE(disk_.WriteFile(too_long, "text", &error)) << error;
  std::string target = Path("out");
  EXPECT_EQ(Convert(kEncode, fits.c_str(), target.c_str(), disk_), kSuccess);
  EXPECT_EQ(Convert(kEncode, too_long.c_str(), target.c_str(), disk_), kNoShortPath);
  std::string very_long(5000, 'x');
  EXPECT_EQ(Convert(kEncode, very_long.c_str(), target.c_str(), disk_), kNoShortPath);
}

TEST_F(CodecConvertTest, SourceFaults) {
  Put("a.qv", EncodeText("some text"));
  struct Row {
    const char* what;
    int64_t reported_size;
    bool read_fails;
    bool out_of_memory;
    size_t read_keeps;
    int32_t code;
  };
  for (const Row& row :
       std::vector<Row>{{"size unknown", -1, false, false, std::string::npos, kSourceNotOpened},
                        {"larger than positions reach", kMaxSourceSize + 1, false, false,
                         std::string::npos, kNoMemory},
                        {"read fails", -2, true, false, std::string::npos, kSourceNotOpened},
                        {"no memory while reading", -2, false, true, std::string::npos, kNoMemory},
                        {"short read", -2, false, false, 7, kSourceNotRead}}) {
    FaultyFileSystem files;
    files.reported_size = row.reported_size;
    files.read_fails = row.read_fails;
    files.read_runs_out_of_memory = row.out_of_memory;
    files.read_keeps = row.read_keeps;
    EXPECT_EQ(Run(kDecode, "a.qv", "out", files), row.code) << row.what;
    EXPECT_FALSE(disk_.FileExists(Path("out"))) << row.what;
  }
}

TEST_F(CodecConvertTest, FileThatGrewIsReadUpToItsSize) {
  Put("a.txt", "0123456789");
  FaultyFileSystem files;
  files.reported_size = 4;
  ASSERT_EQ(Run(kEncode, "a.txt", "a.qv", files), kSuccess);
  EXPECT_EQ(Get("a.qv"), EncodeText("0123"));
}

TEST_F(CodecConvertTest, FailedWriteKeepsWhatWasWritten) {
  std::string text = AllBytes(1000);
  Put("a.txt", text);
  FaultyFileSystem files;
  files.append_keeps = 100;
  EXPECT_EQ(Run(kEncode, "a.txt", "a.qv", files), kTargetWriteFailed);
  EXPECT_EQ(Get("a.qv"), EncodeText(text).substr(0, 100));
}

TEST_F(CodecConvertTest, FullDiskGives260) {
  if (!disk_.FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Put("a.txt", "text");
  EXPECT_EQ(Convert(kEncode, Path("a.txt").c_str(), "/dev/full", disk_), kTargetWriteFailed);
}

TEST(CodecResultMeaningTest, EveryCodeHasItsOwnText) {
  std::vector<std::string> seen;
  for (int32_t code : {0, 256, 257, 258, 259, 260, 261, 262, 263}) {
    std::string meaning = ResultMeaning(code);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), meaning), 0) << code;
    seen.push_back(meaning);
  }
  EXPECT_STREQ(ResultMeaning(259), "the target file cannot be created");
  EXPECT_STREQ(ResultMeaning(1), "unknown result code");
}

// The shared library as the console binds it: by file name, from the program's folder.
class QvcodecExportTest : public CodecConvertTest {
 protected:
  void SetUp() override {
    std::string error;
    library_ = testing::LoadedLibrary::Load(JoinPath(testing::ExecutableFolder(), "libqvcodec.so"),
                                            &error);
    ASSERT_NE(library_, nullptr) << error;
    qvcodec_ = reinterpret_cast<QvcodecFunction>(library_->Symbol("qvcodec"));
    ASSERT_NE(qvcodec_, nullptr);
  }
  std::unique_ptr<testing::LoadedLibrary> library_;
  QvcodecFunction qvcodec_ = nullptr;
};

TEST_F(QvcodecExportTest, ConvertsThroughTheExport) {
  Put("a.txt", "name = 0041\r\n");
  EXPECT_EQ(qvcodec_(QVCODEC_ENCODE, Path("a.txt").c_str(), Path("a.qv").c_str()), 0);
  EXPECT_EQ(Get("a.qv"), EncodeText("name = 0041\r\n"));
  EXPECT_EQ(qvcodec_(QVCODEC_DECODE, Path("a.qv").c_str(), Path("b.txt").c_str()), 0);
  EXPECT_EQ(Get("b.txt"), "name = 0041\r\n");
  EXPECT_EQ(qvcodec_(QVCODEC_DECODE, Path("a.txt").c_str(), Path("c").c_str()), 263);
  EXPECT_EQ(qvcodec_(QVCODEC_DECODE, Path("none").c_str(), Path("c").c_str()), 262);
  EXPECT_EQ(qvcodec_(QVCODEC_DECODE, nullptr, Path("c").c_str()), 261);
  EXPECT_EQ(qvcodec_(QVCODEC_ENCODE, Path("a.txt").c_str(), Path("no/c").c_str()), 259);
}

TEST_F(QvcodecExportTest, ExportsNothingElse) {
  // The conversion and the scrambling are inside, but not visible to the loader.
  EXPECT_EQ(library_->Symbol("_ZN8helmsman5codec6MaskAtEj"), nullptr);
  EXPECT_EQ(library_->Symbol("_ZN8helmsman8platform14DiskFileSystemEv"), nullptr);
}

class QvcodecToolTest : public CodecConvertTest {
 protected:
  // Runs the qvcodec tool with arguments; its standard error lands in the file "stderr".
  int Tool(const std::string& arguments) {
    return testing::RunCommand(JoinPath(testing::ExecutableFolder(), "qvcodec") + " " + arguments +
                               " 2>" + Path("stderr"));
  }
};

TEST_F(QvcodecToolTest, ConvertsAndReportsErrors) {
  Put("a.txt", "money = 100\r\n");
  EXPECT_EQ(Tool("encode " + Path("a.txt") + " " + Path("a.qv")), 0);
  EXPECT_EQ(Get("a.qv"), EncodeText("money = 100\r\n"));
  EXPECT_EQ(Get("stderr"), "");
  EXPECT_EQ(Tool("decode " + Path("a.qv") + " " + Path("b.txt")), 0);
  EXPECT_EQ(Get("b.txt"), "money = 100\r\n");

  EXPECT_EQ(Tool("decode " + Path("a.txt") + " " + Path("c.txt")), 1);
  EXPECT_EQ(Get("stderr"), "error 263: the source does not begin with \"QVS1\"\n");
  EXPECT_EQ(Tool("decode " + Path("none") + " " + Path("c.txt")), 1);
  EXPECT_EQ(Get("stderr").substr(0, 11), "error 262: ");
}

// A named pipe or a device as the source once made the codec wait for ever; it is refused
// like a file that cannot be opened. A pipe nobody reads as the target cannot be created.
TEST_F(QvcodecToolTest, PipesAndDevicesAreRefusedAtOnce) {
  ASSERT_EQ(testing::RunCommand("mkfifo " + Path("pipe.qv")), 0);
  Put("a.txt", "money = 100\r\n");
  for (const std::string& source : {Path("pipe.qv"), std::string("/dev/zero")}) {
    EXPECT_EQ(Convert(kDecode, source.c_str(), Path("out.txt").c_str(), disk_), kSourceNotOpened)
        << source;
    EXPECT_EQ(Tool("decode " + source + " " + Path("out.txt")), 1) << source;
    EXPECT_EQ(Get("stderr"), "error 256: the source file cannot be opened\n") << source;
  }
  EXPECT_EQ(Run(kEncode, "a.txt", "pipe.qv"), kTargetNotCreated);
}

TEST_F(QvcodecToolTest, BadArgumentsShowTheUsage) {
  for (std::string arguments : {"", "decode", "decode a", "scramble a b", "decode a b c"}) {
    EXPECT_EQ(Tool(arguments), 2) << arguments;
    EXPECT_EQ(Get("stderr"), "usage: qvcodec decode|encode SOURCE TARGET\n") << arguments;
  }
}

}  // namespace
}  // namespace helmsman::codec
