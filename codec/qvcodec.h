// QVCodec: turns a scrambled character file into its plain text and back, always from one
// file on disk into another. The library keeps nothing between calls.
//
// The console binds it at run time by file name ("QVCodec.dll" on Windows, "libqvcodec.so"
// elsewhere) and calls the single export below. No C++ exception ever leaves the library.
#ifndef HELMSMAN_CODEC_QVCODEC_H_
#define HELMSMAN_CODEC_QVCODEC_H_

#include <stdint.h>

// The platform's standard callee-cleans convention: __stdcall on 32-bit Windows, where the
// console declares the import that way; other platforms have a single convention.
#if defined(_WIN32) && !defined(_WIN64)
#define QVCODEC_CALL __stdcall
#else
#define QVCODEC_CALL
#endif

#if defined(_WIN32)
#if defined(QVCODEC_BUILDING_LIBRARY)
#define QVCODEC_EXPORT __declspec(dllexport)
#else
#define QVCODEC_EXPORT __declspec(dllimport)
#endif
#else
#define QVCODEC_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Operation codes.
#define QVCODEC_DECODE 1  // scrambled file to plain text
#define QVCODEC_ENCODE 2  // plain text to scrambled file

// Converts the file at sourcePath into the file at targetPath (created, or truncated when it
// exists). Both paths are NUL-terminated 8-bit texts. Returns 0 on success, else:
//   256 the source file cannot be opened (also: the source is a folder)
//   257 no memory for the source's content (also: a source of 2 GiB or more, and any
//       unexpected failure inside the library)
//   258 the source cannot be read completely
//   259 the target file cannot be created
//   260 a write to the target failed; the target keeps what was written before
//   261 type is not 1 or 2, or a path is absent; no file is touched
//   262 the source path cannot be converted to its short form: on POSIX, which has no short
//       form, the source does not exist or its path does not fit the 512-byte buffer
//   263 decode only: the source does not begin with "QVS1"; no target is created
typedef int32_t(QVCODEC_CALL* QvcodecFunction)(int32_t type, const char* sourcePath,
                                               const char* targetPath);
QVCODEC_EXPORT int32_t QVCODEC_CALL qvcodec(int32_t type, const char* sourcePath,
                                            const char* targetPath);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // HELMSMAN_CODEC_QVCODEC_H_
