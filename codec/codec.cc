#include "codec/codec.h"

#include <cstring>
#include <new>
#include <string>

#include "codec/scramble.h"
#ifdef _WIN32
#include "platform/process.h"
#endif

namespace helmsman::codec {

namespace {

// Reads the whole source into *data. The room is taken before the read so that a source too
// large for memory is told apart from one that cannot be read; it includes the four bytes
// that encoding puts in front.
int32_t ReadSource(platform::FileSystem& files, const std::string& path, std::string* data) {
  if (!files.FileExists(path)) return kSourceNotOpened;  // a folder, or gone meanwhile
  int64_t size = files.FileSize(path);
  if (size < 0) return kSourceNotOpened;
  if (size > kMaxSourceSize) return kNoMemory;
  try {
    data->reserve(static_cast<size_t>(size) + kMagic.size());
    std::string error;
    // The whole-file read reports a failed open and a failed read alike; a file that exists
    // but cannot be read at all (no permission) is one that cannot be opened.
    if (!files.ReadFile(path, data, &error)) return kSourceNotOpened;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  if (data->size() < static_cast<size_t>(size)) return kSourceNotRead;
  // A file that grew since its size was taken is read up to that size, as a fixed-size read
  // would.
  data->resize(static_cast<size_t>(size));
  return kSuccess;
}

// Creates (or truncates) the target, then writes output into it. Creating first keeps "cannot
// create" apart from "a write failed"; after a failed write the target keeps what was written.
int32_t WriteTarget(platform::FileSystem& files, const std::string& path,
                    const std::string& output) {
  std::string error;
  if (!files.WriteFile(path, std::string(), &error)) return kTargetNotCreated;
  if (!output.empty() && !files.AppendFile(path, output, &error)) return kTargetWriteFailed;
  return kSuccess;
}

}  // namespace

const char* ResultMeaning(int32_t code) {
  switch (code) {
    case kSuccess:
      return "success";
    case kSourceNotOpened:
      return "the source file cannot be opened";
    case kNoMemory:
      return "no memory for the source's content";
    case kSourceNotRead:
      return "the source cannot be read completely";
    case kTargetNotCreated:
      return "the target file cannot be created";
    case kTargetWriteFailed:
      return "a write to the target failed";
    case kBadArguments:
      return "type is not 1 or 2, or a path is absent";
    case kNoShortPath:
      return "the source path cannot be converted to its short form (it does not exist)";
    case kNotScrambled:
      return "the source does not begin with \"QVS1\"";
    default:
      return "unknown result code";
  }
}

bool ToShortPath(platform::FileSystem& files, const char* path,
                 char (&buffer)[kShortPathCapacity]) {
  if (std::strlen(path) >= kShortPathCapacity) return false;
  if (!files.FileExists(path) && !files.DirectoryExists(path)) return false;
#ifdef _WIN32
  // The short form, as the library has always opened its source by.
  const std::string short_path = platform::ShortPath(path);
#else
  const std::string short_path = path;  // POSIX has no short form
#endif
  if (short_path.size() >= kShortPathCapacity) return false;
  std::memcpy(buffer, short_path.c_str(), short_path.size() + 1);
  return true;
}

int32_t Convert(int32_t operation, const char* source_path, const char* target_path,
                platform::FileSystem& files) {
  if ((operation != kDecode && operation != kEncode) || source_path == nullptr ||
      target_path == nullptr) {
    return kBadArguments;
  }
  char short_source[kShortPathCapacity];
  if (!ToShortPath(files, source_path, short_source)) return kNoShortPath;

  std::string data;
  if (int32_t read = ReadSource(files, short_source, &data); read != kSuccess) return read;

  if (operation == kDecode) {
    if (data.size() < kMagic.size() || data.compare(0, kMagic.size(), kMagic) != 0) {
      return kNotScrambled;
    }
    data.erase(0, kMagic.size());
    Scramble(data.data(), data.size());
  } else {
    Scramble(data.data(), data.size());
    data.insert(0, kMagic);
  }
  return WriteTarget(files, target_path, data);
}

}  // namespace helmsman::codec
