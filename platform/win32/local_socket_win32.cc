// Named pipes for local_socket.h: byte-mode, overlapped, one instance waiting for the next
// client at any time. A pipe's security descriptor admits the caller's user and the system
// alone, remote clients are rejected, and each client's process token must name the user.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/local_socket.h"
#include "platform/win32/system_error_win32.h"

namespace helmsman::platform {

namespace {

// Each direction's pipe buffer, and the most a connection takes to write at a time.
constexpr DWORD kPipeBufferBytes = 64 * 1024;
constexpr DWORD kReadBufferBytes = 16384;

using Sid = std::vector<BYTE>;

// The user of a token.
bool TokenUserSid(HANDLE token, Sid* sid) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return false;
  PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  const DWORD length = GetLengthSid(user);
  sid->assign(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + length);
  return true;
}

bool ProcessUserSid(HANDLE process, Sid* sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return false;
  const bool found = TokenUserSid(token, sid);
  CloseHandle(token);
  return found;
}

std::string SidText(const Sid& sid) {
  PSID raw = const_cast<BYTE*>(sid.data());
  std::string text = "S-?";
  if (IsValidSid(raw)) {
    const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(raw);
    text = "S-1-" + std::to_string(authority->Value[5]);
    for (UCHAR i = 0; i < *GetSidSubAuthorityCount(raw); ++i) {
      text += '-';
      text += std::to_string(*GetSidSubAuthority(raw, i));
    }
  }
  return text;
}

// A security descriptor whose DACL lets the given user and the system in, nobody else.
class OwnerOnly {
 public:
  bool Make(const Sid& user, std::string* error) {
    user_ = user;
    DWORD system_size = SECURITY_MAX_SID_SIZE;
    system_.resize(system_size);
    if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, system_.data(), &system_size)) {
      *error = LastErrorText("cannot name the system's account");
      return false;
    }
    system_.resize(system_size);
    const DWORD acl_size = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) +
                           static_cast<DWORD>(user_.size() + system_.size());
    acl_.assign(acl_size, 0);
    PACL acl = reinterpret_cast<PACL>(acl_.data());
    if (!InitializeAcl(acl, acl_size, ACL_REVISION) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, user_.data()) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, system_.data()) ||
        !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE)) {
      *error = LastErrorText("cannot make the pipe's security descriptor");
      return false;
    }
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    return true;
  }
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

 private:
  Sid user_;
  Sid system_;
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_ = {};
  SECURITY_ATTRIBUTES attributes_ = {};
};

// Waits for an overlapped operation that was cancelled, so that its buffers may go.
void Settle(HANDLE handle, OVERLAPPED* overlapped) {
  DWORD ignored = 0;
  GetOverlappedResult(handle, overlapped, &ignored, TRUE);
}

class PipeConnection : public LocalConnection {
 public:
  explicit PipeConnection(HANDLE pipe)
      : pipe_(pipe),
        read_event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        write_event_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
    StartRead();
  }

  ~PipeConnection() override {
    // A write under way is dropped with the connection (the client stopped reading); what
    // was written already stays for the client to read.
    if (reading_ || writing_) CancelIoEx(pipe_, nullptr);
    if (reading_) Settle(pipe_, &read_overlapped_);
    if (writing_) Settle(pipe_, &write_overlapped_);
    CloseHandle(pipe_);
    CloseHandle(read_event_);
    CloseHandle(write_event_);
  }

  bool usable() const { return read_event_ != nullptr && write_event_ != nullptr; }

  WaitTarget target() const override {
    WaitTarget target;
    target.readable_event = read_event_;
    target.writable_event = write_event_;
    return target;
  }

  IoStatus Read(std::string* data, size_t max_bytes) override {
    Collect();
    if (arrived_.empty() && !read_closed_) {
      StartRead();
      Collect();
    }
    if (!arrived_.empty()) {
      const size_t taken = std::min(max_bytes, arrived_.size());
      data->append(arrived_, 0, taken);
      arrived_.erase(0, taken);
      if (arrived_.empty()) StartRead();
      return IoStatus::kDone;
    }
    return read_closed_ ? IoStatus::kClosed : IoStatus::kWouldBlock;
  }

  IoStatus Write(const std::string& data, size_t* written) override {
    *written = 0;
    if (writing_) {
      DWORD put = 0;
      if (!GetOverlappedResult(pipe_, &write_overlapped_, &put, FALSE)) {
        if (GetLastError() == ERROR_IO_INCOMPLETE) return IoStatus::kWouldBlock;
        write_failed_ = true;
      }
      writing_ = false;
    }
    if (write_failed_) return IoStatus::kClosed;
    if (data.empty()) return IoStatus::kDone;
    outgoing_.assign(data, 0, std::min<size_t>(data.size(), kPipeBufferBytes));
    std::memset(&write_overlapped_, 0, sizeof write_overlapped_);
    write_overlapped_.hEvent = write_event_;
    if (!WriteFile(pipe_, outgoing_.data(), static_cast<DWORD>(outgoing_.size()), nullptr,
                   &write_overlapped_)) {
      if (GetLastError() != ERROR_IO_PENDING) {
        write_failed_ = true;
        SetEvent(write_event_);
        return IoStatus::kClosed;
      }
      writing_ = true;
    }
    *written = outgoing_.size();
    return IoStatus::kDone;
  }

  IoStatus ReadWaiting(std::string* data, size_t max_bytes, int timeout_millis) override {
    return Waiting(read_event_, timeout_millis, [&] { return Read(data, max_bytes); });
  }

  IoStatus WriteWaiting(const std::string& data, size_t* written, int timeout_millis) override {
    *written = 0;
    return Waiting(write_event_, timeout_millis, [&] { return Write(data, written); });
  }

 private:
  template <typename Attempt>
  IoStatus Waiting(HANDLE event, int timeout_millis, Attempt attempt) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_millis);
    for (;;) {
      const IoStatus status = attempt();
      if (status != IoStatus::kWouldBlock) return status;
      DWORD wait = INFINITE;
      if (timeout_millis >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return IoStatus::kWouldBlock;
        wait = static_cast<DWORD>(left.count());
      }
      const DWORD waited = WaitForSingleObject(event, wait);
      if (waited == WAIT_TIMEOUT) return IoStatus::kWouldBlock;
      if (waited != WAIT_OBJECT_0) return IoStatus::kClosed;
    }
  }

  // Starts the next read unless one is under way, bytes wait to be taken, or the pipe is
  // closed. The event is set while bytes wait or the pipe is closed, reset while a read waits.
  void StartRead() {
    if (reading_ || read_closed_ || !arrived_.empty()) return;
    std::memset(&read_overlapped_, 0, sizeof read_overlapped_);
    read_overlapped_.hEvent = read_event_;
    if (ReadFile(pipe_, buffer_, kReadBufferBytes, nullptr, &read_overlapped_) ||
        GetLastError() == ERROR_IO_PENDING) {
      reading_ = true;  // a read done at once is collected like one that took its time
      return;
    }
    read_closed_ = true;
    SetEvent(read_event_);
  }

  // Takes the bytes of a finished read.
  void Collect() {
    if (!reading_) return;
    DWORD got = 0;
    if (GetOverlappedResult(pipe_, &read_overlapped_, &got, FALSE)) {
      reading_ = false;
      arrived_.append(buffer_, got);
      if (arrived_.empty()) StartRead();  // an empty write of the peer: nothing to take
      return;
    }
    if (GetLastError() == ERROR_IO_INCOMPLETE) return;
    reading_ = false;
    read_closed_ = true;
    SetEvent(read_event_);
  }

  HANDLE pipe_;
  HANDLE read_event_;
  HANDLE write_event_;
  OVERLAPPED read_overlapped_ = {};
  OVERLAPPED write_overlapped_ = {};
  char buffer_[kReadBufferBytes];
  std::string arrived_;
  bool reading_ = false;
  bool read_closed_ = false;
  std::string outgoing_;
  bool writing_ = false;
  bool write_failed_ = false;
};

std::unique_ptr<LocalConnection> Connection(HANDLE pipe, std::string* error) {
  auto connection = std::make_unique<PipeConnection>(pipe);
  if (connection->usable()) return connection;
  *error = LastErrorText("cannot make the events of a pipe");
  return nullptr;
}

class PipeListener : public LocalListener {
 public:
  PipeListener(std::string name, Sid user, std::unique_ptr<OwnerOnly> security, HANDLE lock,
               HANDLE first, HANDLE event)
      : name_(std::move(name)),
        user_(std::move(user)),
        security_(std::move(security)),
        lock_(lock),
        event_(event) {
    Arm(first);
  }

  ~PipeListener() override {
    Disarm();
    CloseHandle(event_);
    CloseHandle(lock_);
  }

  WaitTarget target() const override {
    WaitTarget target;
    target.readable_event = event_;
    return target;
  }
  bool out_of_descriptors() const override { return out_of_descriptors_; }

  std::unique_ptr<LocalConnection> Accept(std::string* refused) override {
    refused->clear();
    out_of_descriptors_ = false;
    if (instance_ == nullptr && !Arm(MakeInstance())) {
      out_of_descriptors_ = true;
      return nullptr;
    }
    if (connecting_) {
      DWORD ignored = 0;
      if (!GetOverlappedResult(instance_, &overlapped_, &ignored, FALSE)) {
        if (GetLastError() == ERROR_IO_INCOMPLETE) return nullptr;
        // The client went before it was taken: the instance waits for the next one.
        Disarm();
        Arm(MakeInstance());
        return nullptr;
      }
      connecting_ = false;
    }
    HANDLE client = instance_;
    instance_ = nullptr;
    ResetEvent(event_);
    // Without a next instance no client could connect: Accept is asked again (and says it
    // is out of room) until one can be made.
    if (!Arm(MakeInstance())) SetEvent(event_);
    if (!ClientIsUser(client, refused)) {
      DisconnectNamedPipe(client);
      CloseHandle(client);
      return nullptr;
    }
    std::string error;
    std::unique_ptr<LocalConnection> connection = Connection(client, &error);
    if (!connection) *refused = "a connection was dropped: " + error;
    return connection;
  }

  // The pipe's first instance, or nullptr and *why (kInUse when another listener has it).
  static HANDLE MakeFirst(const std::string& name, SECURITY_ATTRIBUTES* attributes,
                          ListenError* why, std::string* error) {
    HANDLE pipe = Create(name, true, attributes);
    if (pipe != INVALID_HANDLE_VALUE) return pipe;
    const DWORD code = GetLastError();
    if (code == ERROR_ACCESS_DENIED || code == ERROR_PIPE_BUSY) {
      *why = ListenError::kInUse;
      *error = "another process is already listening on " + name;
    } else {
      *why = ListenError::kFailed;
      *error = "cannot make the pipe " + name + ": " + SystemErrorText(code);
    }
    return nullptr;
  }

 private:
  static HANDLE Create(const std::string& name, bool first, SECURITY_ATTRIBUTES* attributes) {
    const DWORD open_mode =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    const DWORD pipe_mode =
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    return CreateNamedPipeA(name.c_str(), open_mode, pipe_mode, PIPE_UNLIMITED_INSTANCES,
                            kPipeBufferBytes, kPipeBufferBytes, 0, attributes);
  }

  HANDLE MakeInstance() {
    HANDLE pipe = Create(name_, false, security_->attributes());
    return pipe == INVALID_HANDLE_VALUE ? nullptr : pipe;
  }

  // Waits on instance for the next client; false when there is none to wait on.
  bool Arm(HANDLE instance) {
    if (instance == nullptr) return false;
    instance_ = instance;
    std::memset(&overlapped_, 0, sizeof overlapped_);
    overlapped_.hEvent = event_;
    ResetEvent(event_);
    if (ConnectNamedPipe(instance_, &overlapped_)) {
      SetEvent(event_);
      return true;
    }
    switch (GetLastError()) {
      case ERROR_IO_PENDING:
        connecting_ = true;
        return true;
      case ERROR_PIPE_CONNECTED:  // came between the instance and the wait
        SetEvent(event_);
        return true;
      default:  // came and went: this instance is spent
        CloseHandle(instance_);
        instance_ = nullptr;
        return Arm(MakeInstance());
    }
  }

  void Disarm() {
    if (instance_ == nullptr) return;
    if (connecting_) {
      CancelIoEx(instance_, &overlapped_);
      Settle(instance_, &overlapped_);
      connecting_ = false;
    }
    CloseHandle(instance_);
    instance_ = nullptr;
  }

  bool ClientIsUser(HANDLE client, std::string* refused) {
    ULONG process_id = 0;
    Sid sid;
    bool known = GetNamedPipeClientProcessId(client, &process_id) != 0;
    if (known) {
      HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
      known = process != nullptr && ProcessUserSid(process, &sid);
      if (process != nullptr) CloseHandle(process);
    }
    if (!known) {
      *refused = LastErrorText("a connection whose user cannot be told was refused");
      return false;
    }
    if (sid.size() == user_.size() && EqualSid(sid.data(), user_.data())) return true;
    *refused = "a connection of user " + SidText(sid) + " (process " +
               std::to_string(process_id) + ") was refused: only user " + SidText(user_) +
               " may control this console";
    return false;
  }

  std::string name_;
  Sid user_;
  std::unique_ptr<OwnerOnly> security_;
  HANDLE lock_;
  HANDLE event_;
  HANDLE instance_ = nullptr;
  OVERLAPPED overlapped_ = {};
  bool connecting_ = false;
  bool out_of_descriptors_ = false;
};

bool CallerSid(Sid* sid, std::string* error) {
  if (ProcessUserSid(GetCurrentProcess(), sid)) return true;
  *error = LastErrorText("cannot tell this process's user");
  return false;
}

// The lock of a pipe's listener: a named mutex of the session that lives as long as the
// listener's handle, and so dies with a killed listener. It stands beside the pipe's first
// instance, which Wine does not keep to one.
HANDLE TakeLock(const std::string& name, ListenError* why, std::string* error) {
  std::string lock_name = name;
  const std::string pipes = "\\\\.\\pipe\\";
  if (lock_name.rfind(pipes, 0) == 0) lock_name.erase(0, pipes.size());
  for (char& c : lock_name) {
    if (c == '\\') c = '_';
  }
  lock_name = "Local\\" + lock_name + ".listener";
  HANDLE lock = CreateMutexA(nullptr, FALSE, lock_name.c_str());
  if (lock == nullptr) {
    *why = GetLastError() == ERROR_ACCESS_DENIED ? ListenError::kInUse : ListenError::kFailed;
    *error = LastErrorText("cannot take the lock of " + name);
    return nullptr;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(lock);
    *why = ListenError::kInUse;
    *error = "another process is already listening on " + name;
    return nullptr;
  }
  return lock;
}

std::unique_ptr<LocalListener> ListenFor(const std::string& name, Sid allowed, ListenError* why,
                                         std::string* error) {
  *why = ListenError::kFailed;
  Sid caller;
  if (!CallerSid(&caller, error)) return nullptr;
  auto security = std::make_unique<OwnerOnly>();
  if (!security->Make(caller, error)) return nullptr;
  HANDLE lock = TakeLock(name, why, error);
  if (lock == nullptr) return nullptr;
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) {
    *error = LastErrorText("cannot make an event");
    CloseHandle(lock);
    return nullptr;
  }
  HANDLE first = PipeListener::MakeFirst(name, security->attributes(), why, error);
  if (first == nullptr) {
    CloseHandle(event);
    CloseHandle(lock);
    return nullptr;
  }
  *why = ListenError::kNone;
  return std::make_unique<PipeListener>(name, std::move(allowed), std::move(security), lock,
                                        first, event);
}

// Whether the pipe's server runs as the caller's user: a pipe of that name made by another
// user (before the console started) gets no request.
bool ServerIsCaller(HANDLE pipe, const std::string& path, std::string* error) {
  Sid caller;
  Sid server;
  ULONG process_id = 0;
  bool known = CallerSid(&caller, error) && GetNamedPipeServerProcessId(pipe, &process_id) != 0;
  if (known) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    known = process != nullptr && ProcessUserSid(process, &server);
    if (process != nullptr) CloseHandle(process);
  }
  if (!known) {
    *error = LastErrorText("cannot tell the user of the process listening on " + path);
    return false;
  }
  if (server.size() == caller.size() && EqualSid(server.data(), caller.data())) return true;
  *error = "permission denied: " + path + " belongs to another user (" + SidText(server) + ")";
  return false;
}

}  // namespace

std::unique_ptr<LocalListener> LocalListener::Listen(const std::string& path, ListenError* why,
                                                     std::string* error) {
  *why = ListenError::kFailed;
  Sid caller;
  if (!CallerSid(&caller, error)) return nullptr;
  return ListenFor(path, std::move(caller), why, error);
}

std::unique_ptr<LocalListener> LocalListener::ListenForUser(const std::string& path, long user,
                                                            ListenError* why, std::string* error) {
  *why = ListenError::kFailed;
  Sid sid;
  if (!CallerSid(&sid, error)) return nullptr;
  PSID raw = sid.data();
  const UCHAR parts = *GetSidSubAuthorityCount(raw);
  if (parts > 0) *GetSidSubAuthority(raw, parts - 1) = static_cast<DWORD>(user);
  return ListenFor(path, std::move(sid), why, error);
}

std::unique_ptr<LocalConnection> ConnectLocal(const std::string& path, int timeout_millis,
                                              std::string* error) {
  // Every instance busy (a console that has not taken the last client yet): wait for one, a
  // little at a time, until the time-out.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_millis);
  for (;;) {
    HANDLE pipe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                              nullptr);
    if (pipe != INVALID_HANDLE_VALUE) {
      if (!ServerIsCaller(pipe, path, error)) {
        CloseHandle(pipe);
        return nullptr;
      }
      return Connection(pipe, error);
    }
    const DWORD code = GetLastError();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (code == ERROR_PIPE_BUSY && left.count() > 0) {
      if (!WaitNamedPipeA(path.c_str(), static_cast<DWORD>(std::min<long long>(left.count(), 100)))) {
        Sleep(5);
      }
      continue;
    }
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      *error = "no console is listening on " + path;
    } else if (code == ERROR_ACCESS_DENIED) {
      *error = "permission denied: " + path + " belongs to another user";
    } else {
      *error = "cannot connect to " + path + ": " + SystemErrorText(code);
    }
    return nullptr;
  }
}

}  // namespace helmsman::platform
