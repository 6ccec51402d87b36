// The desktop folder and the shared sections kept in it.
//
// A shared section "name" is three files in the desktop folder:
//   name.section     the words, mapped with MAP_SHARED by every holder
//   name.users.lock  every holder keeps a shared flock on it for as long as it holds the
//                    section; the kernel drops the lock when the process ends, crashed or not
//   name.init.lock   taken exclusively while a process opens the section
// Opening takes the init lock, then tries an exclusive, non-blocking lock on the users lock.
// Success means no process holds the section: the opener is the first, zeroes the words and
// converts its lock to a shared one. flock converts by dropping and retaking, which is safe
// here because every other opener is held up on the init lock meanwhile, and a process only
// ever drops its users lock (by closing or ending), never takes it exclusively outside the
// init lock. Failure means others hold it: the opener takes a shared lock and keeps the
// words as they are. Then it releases the init lock. Every descriptor is close-on-exec, so a
// program the holder starts does not keep the section alive.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/desktop.h"
#include "platform/file_system.h"
#include "simdesk/socket_desktop.h"

namespace helmsman::platform {

namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

int OpenLockFile(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) *error = ErrnoText("cannot open", path);
  return fd;
}

bool Flock(int fd, int operation) {
  while (::flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

class PosixSharedSection : public SharedSection {
 public:
  ~PosixSharedSection() override {
    if (words_) ::munmap(words_, bytes_);
    if (section_fd_ >= 0) ::close(section_fd_);
    if (users_fd_ >= 0) ::close(users_fd_);  // drops this holder's shared lock
  }

  bool Open(const std::string& folder, const std::string& name, size_t word_count,
            std::string* error);
  uint32_t* words() override { return words_; }
  bool first_holder() const override { return first_holder_; }

 private:
  bool JoinHolders(const std::string& folder, const std::string& name, std::string* error);
  bool MapWords(const std::string& path, std::string* error);

  int users_fd_ = -1;
  int section_fd_ = -1;
  uint32_t* words_ = nullptr;
  size_t bytes_ = 0;
  bool first_holder_ = false;
};

bool PosixSharedSection::JoinHolders(const std::string& folder, const std::string& name,
                                     std::string* error) {
  users_fd_ = OpenLockFile(JoinPath(folder, name + ".users.lock"), error);
  if (users_fd_ < 0) return false;
  if (Flock(users_fd_, LOCK_EX | LOCK_NB)) {
    first_holder_ = true;
    return true;  // converted to shared once the words are zeroed
  }
  if (errno != EWOULDBLOCK) {
    *error = ErrnoText("cannot lock", name + ".users.lock");
    return false;
  }
  if (!Flock(users_fd_, LOCK_SH)) {
    *error = ErrnoText("cannot lock", name + ".users.lock");
    return false;
  }
  return true;
}

bool PosixSharedSection::MapWords(const std::string& path, std::string* error) {
  section_fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (section_fd_ < 0) {
    *error = ErrnoText("cannot open", path);
    return false;
  }
  // The first holder starts from zeros; a later one only makes sure the file is long enough.
  struct stat st;
  bool sized = ::fstat(section_fd_, &st) == 0;
  if (sized && first_holder_) sized = ::ftruncate(section_fd_, 0) == 0;
  if (sized && (first_holder_ || st.st_size < static_cast<off_t>(bytes_)))
    sized = ::ftruncate(section_fd_, static_cast<off_t>(bytes_)) == 0;
  if (!sized) {
    *error = ErrnoText("cannot size", path);
    return false;
  }
  void* mapped = ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_SHARED, section_fd_, 0);
  if (mapped == MAP_FAILED) {
    *error = ErrnoText("cannot map", path);
    return false;
  }
  words_ = static_cast<uint32_t*>(mapped);
  return true;
}

bool PosixSharedSection::Open(const std::string& folder, const std::string& name, size_t word_count,
                              std::string* error) {
  bytes_ = (word_count ? word_count : 1) * sizeof(uint32_t);
  std::string init_path = JoinPath(folder, name + ".init.lock");
  int init_fd = OpenLockFile(init_path, error);
  if (init_fd < 0) return false;
  bool ok = Flock(init_fd, LOCK_EX);
  if (!ok) *error = ErrnoText("cannot lock", init_path);
  ok = ok && JoinHolders(folder, name, error) &&
       MapWords(JoinPath(folder, name + ".section"), error);
  if (ok && first_holder_ && !Flock(users_fd_, LOCK_SH)) {
    *error = ErrnoText("cannot lock", name + ".users.lock");
    ok = false;
  }
  ::close(init_fd);  // releases the init lock
  return ok;
}

}  // namespace

// The folder belongs to the simulated desktop, which keeps its sockets there too.
std::string DesktopFolder() { return simdesk::DesktopFolder(); }

bool EnsureDesktopFolder(std::string* folder, std::string* error) {
  return simdesk::EnsureDesktopFolder(folder, error);
}

std::unique_ptr<SharedSection> SharedSection::Open(const std::string& name, size_t word_count,
                                                   std::string* error) {
  std::string folder;
  if (!EnsureDesktopFolder(&folder, error)) return nullptr;
  auto section = std::make_unique<PosixSharedSection>();
  if (!section->Open(folder, name, word_count, error)) return nullptr;
  return section;
}

}  // namespace helmsman::platform
