// The conversion behind the qvcodec export: one file on disk into another, through the
// platform's FileSystem so that tests can inject the faults a disk can have.
#ifndef HELMSMAN_CODEC_CODEC_H_
#define HELMSMAN_CODEC_CODEC_H_

#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"

namespace helmsman::codec {

enum Operation : int32_t {
  kDecode = 1,
  kEncode = 2,
};

enum ResultCode : int32_t {
  kSuccess = 0,
  kSourceNotOpened = 256,
  kNoMemory = 257,
  kSourceNotRead = 258,
  kTargetNotCreated = 259,
  kTargetWriteFailed = 260,
  kBadArguments = 261,
  kNoShortPath = 262,
  kNotScrambled = 263,
};

// The size of the buffer that holds the source path's short form, terminator included.
inline constexpr size_t kShortPathCapacity = 512;

// The largest source the codec takes: positions are 32-bit non-negative numbers. A larger
// source gives kNoMemory.
inline constexpr int64_t kMaxSourceSize = 0x7FFFFFFF;

// What a result code means, for operators ("the target file cannot be created").
const char* ResultMeaning(int32_t code);

// Converts source into target as the operation says and returns a ResultCode:
//  - kBadArguments when the operation is not 1 or 2 or a path is null, touching nothing;
//  - kNoShortPath when the source path has no short form (on POSIX: does not exist, or does
//    not fit kShortPathCapacity);
//  - kSourceNotOpened (also for a folder), kNoMemory, kSourceNotRead for the source;
//  - decode: kNotScrambled when the source does not begin with "QVS1", creating no target;
//  - kTargetNotCreated, then kTargetWriteFailed for the target. After a failed write the
//    target keeps what was written; the codec never deletes or restores anything.
// Only the source path is converted to its short form; the target path is used as given.
int32_t Convert(int32_t operation, const char* source_path, const char* target_path,
                platform::FileSystem& files);

// The short (8.3) form of path in buffer. POSIX has no short form: the conversion copies the
// path and succeeds exactly when it names something that exists and fits the buffer.
bool ToShortPath(platform::FileSystem& files, const char* path, char (&buffer)[kShortPathCapacity]);

}  // namespace helmsman::codec

#endif  // HELMSMAN_CODEC_CODEC_H_
