// Decoding and encoding a 1 MiB character file, next to a plain copy of the same bytes
// (read the whole file, write it) through the same file layer in the same run. The codec's
// target is within 3x of the copy. Every iteration writes a new target file: replacing a
// file's content by truncation makes ext4 flush it on close, which would time the disk, not
// the codec.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "codec/codec.h"
#include "codec/scramble.h"
#include "platform/file_system.h"

namespace {

using helmsman::platform::DiskFileSystem;
using helmsman::platform::JoinPath;

constexpr size_t kSize = 1 << 20;

// A folder with a 1 MiB plain text and its scrambled form, made once.
struct Files {
  std::string folder, plain, scrambled, target;
  Files() {
    folder = (std::filesystem::temp_directory_path() /
              ("helmsman_codec_bench_" + std::to_string(std::random_device{}())))
                 .string();
    std::filesystem::create_directories(folder);
    plain = JoinPath(folder, "plain.txt");
    scrambled = JoinPath(folder, "scrambled.qv");
    target = JoinPath(folder, "target");
    std::string text(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) text[i] = "equip = 4KQ7ZD02MX, HpGun01, 1\r\n"[i % 32];
    std::string error;
    DiskFileSystem().WriteFile(plain, text, &error);
    DiskFileSystem().WriteFile(scrambled, helmsman::codec::EncodeText(text), &error);
  }
  ~Files() { std::filesystem::remove_all(folder); }
};

Files& TheFiles() {
  static Files files;
  return files;
}

void BM_PlainCopy(benchmark::State& state) {
  Files& files = TheFiles();
  std::string data, error;
  for (auto _ : state) {
    DiskFileSystem().RemoveFile(files.target);
    if (!DiskFileSystem().ReadFile(files.plain, &data, &error) ||
        !DiskFileSystem().WriteFile(files.target, data, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void Convert(benchmark::State& state, int32_t operation, const std::string& source) {
  Files& files = TheFiles();
  for (auto _ : state) {
    DiskFileSystem().RemoveFile(files.target);
    int32_t result =
        helmsman::codec::Convert(operation, source.c_str(), files.target.c_str(), DiskFileSystem());
    if (result != helmsman::codec::kSuccess) {
      state.SkipWithError(helmsman::codec::ResultMeaning(result));
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_Decode(benchmark::State& state) {
  Convert(state, helmsman::codec::kDecode, TheFiles().scrambled);
}
void BM_Encode(benchmark::State& state) {
  Convert(state, helmsman::codec::kEncode, TheFiles().plain);
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Decode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Encode)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
