/* QVAdmin's exported functions, for programs that bind them by name at run time.
 *
 *   QVAdmin_Initialize(owner, windowTitle, serverDirectory, options)
 *       binds the library to owner (non-zero); 1 = bound, 0 = refused.
 *   QVAdmin_DoCommand(command, resultText, resultSize)
 *       carries out one command line and writes the reply into the caller's buffer of
 *       resultSize bytes (resultText may be NULL); 1 = successful, 0 = not.
 *   QVAdmin_Release(owner)
 *       unbinds the library when owner is the bound owner; 1 = released, 0 = not.
 *
 * Standard calling convention (stdcall on 32-bit Windows); plain 8-bit texts. */
#ifndef HELMSMAN_ADMIN_QVADMIN_EXPORTS_H_
#define HELMSMAN_ADMIN_QVADMIN_EXPORTS_H_

#include <stdint.h>

#if defined(_WIN32)
#if defined(_M_IX86) || defined(__i386__)
#define QVADMIN_CALL __stdcall
#else
#define QVADMIN_CALL
#endif
#if defined(QVADMIN_BUILDING)
/* The library's .def file names the exports: a dllexport here would add the decorated
 * names of 32-bit x86 (QVAdmin_Initialize@16) beside them. */
#define QVADMIN_EXPORT
#else
#define QVADMIN_EXPORT __declspec(dllimport)
#endif
#else
#define QVADMIN_CALL
#define QVADMIN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

QVADMIN_EXPORT int32_t QVADMIN_CALL QVAdmin_Initialize(int32_t owner, const char* windowTitle,
                                                       const char* serverDirectory,
                                                       const char* options);
QVADMIN_EXPORT int32_t QVADMIN_CALL QVAdmin_DoCommand(const char* command, char* resultText,
                                                      uint32_t resultSize);
QVADMIN_EXPORT int32_t QVADMIN_CALL QVAdmin_Release(int32_t owner);

/* Pointer types for binding by name. */
typedef int32_t(QVADMIN_CALL* QVAdmin_InitializeFn)(int32_t, const char*, const char*, const char*);
typedef int32_t(QVADMIN_CALL* QVAdmin_DoCommandFn)(const char*, char*, uint32_t);
typedef int32_t(QVADMIN_CALL* QVAdmin_ReleaseFn)(int32_t);

#ifdef __cplusplus
}
#endif

#endif /* HELMSMAN_ADMIN_QVADMIN_EXPORTS_H_ */
