// The exported C functions: a thin shell over one QvAdmin per process. No exception leaves
// them; an unexpected one counts as failure (0).
//
// The shared fields exist while at least one process has the library loaded and are zero
// when the first process loads it. On Windows they are the library's own shared data section
// ".QVAdmin": the loader maps one copy of it into every process that loads the DLL. On POSIX
// they live in the desktop's shared section "qvadmin" (see platform/desktop.h), opened when
// the library is loaded and held until it is unloaded or the process ends; a library that
// could not open it refuses to bind.
#define QVADMIN_BUILDING
#include <memory>
#include <string>

#include "admin/qvadmin.h"
#include "admin/qvadmin_exports.h"
#include "admin/shared_fields.h"
#include "platform/desktop.h"
#include "platform/process.h"

namespace {

using helmsman::admin::QvAdmin;

#if defined(_WIN32)
// Initialised, so that it is data of the section and not left to the zero-filled .bss.
alignas(4) uint32_t g_shared_words[helmsman::admin::kSharedWordCount]
    __attribute__((section(".QVAdmin"), shared)) = {0, 0, 0};
#endif

struct Loaded {
  std::unique_ptr<helmsman::platform::SharedSection> section;
  std::unique_ptr<QvAdmin> admin;
};

Loaded* Load() {
  try {
    auto loaded = std::make_unique<Loaded>();
    helmsman::admin::Environment environment;
    environment.desktop = &helmsman::platform::SystemDesktop();
    environment.launcher = &helmsman::platform::SystemProcessLauncher();
#if defined(_WIN32)
    environment.shared_words = g_shared_words;
#else
    std::string error;
    loaded->section = helmsman::platform::SharedSection::Open(
        "qvadmin", helmsman::admin::kSharedWordCount, &error);
    environment.shared_words = loaded->section ? loaded->section->words() : nullptr;
#endif
    loaded->admin = std::make_unique<QvAdmin>(environment);
    return loaded.release();
  } catch (...) {
    return nullptr;
  }
}

// Opened at load time (the loader runs this initialiser) and closed at unload.
const std::unique_ptr<Loaded> g_loaded(Load());

QvAdmin* Admin() { return g_loaded ? g_loaded->admin.get() : nullptr; }

}  // namespace

extern "C" {

QVADMIN_EXPORT int32_t QVADMIN_CALL QVAdmin_Initialize(int32_t owner, const char* windowTitle,
                                                       const char* serverDirectory,
                                                       const char* options) {
  try {
    QvAdmin* admin = Admin();
    return admin ? admin->Initialize(owner, windowTitle, serverDirectory, options) : 0;
  } catch (...) {
    return 0;
  }
}

QVADMIN_EXPORT int32_t QVADMIN_CALL QVAdmin_DoCommand(const char* command, char* resultText,
                                                      uint32_t resultSize) {
  try {
    QvAdmin* admin = Admin();
    return admin ? admin->DoCommand(command, resultText, resultSize) : 0;
  } catch (...) {
    return 0;
  }
}

QVADMIN_EXPORT int32_t QVADMIN_CALL QVAdmin_Release(int32_t owner) {
  try {
    QvAdmin* admin = Admin();
    return admin ? admin->Release(owner) : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
