#include "console/ui/control/control_protocol.h"

#include "platform/file_system.h"

namespace helmsman::ui::control {

std::string ControlPipeName(const std::string& program_folder) {
  // One name for every spelling of the folder that Windows takes as the same: either slash,
  // any letter case, no separator at the end.
  std::string folder = program_folder;
  for (char& c : folder) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  // FNV-1a, 64 bits.
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : folder) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string name = kControlPipePrefix;
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xF];
  return name;
}

std::string ControlSocketPath(const std::string& program_folder) {
#if defined(_WIN32)
  return ControlPipeName(program_folder);
#else
  return platform::JoinPath(platform::JoinPath(program_folder, kControlFolderName),
                            kControlSocketName);
#endif
}

std::string Frame(const std::string& payload) {
  const uint32_t size = static_cast<uint32_t>(payload.size());
  std::string frame;
  frame.reserve(4 + payload.size());
  for (int shift = 0; shift < 32; shift += 8) frame.push_back(static_cast<char>(size >> shift));
  frame += payload;
  return frame;
}

std::string RequestFrame(const std::vector<std::string>& words) {
  std::string payload;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) payload.push_back('\0');
    payload += words[i];
  }
  return Frame(payload);
}

std::string ReplyFrames(FrameKind kind, const std::string& text) {
  constexpr size_t kChunk = kMaxReplyFrameBytes - 1;
  std::string frames;
  size_t at = 0;
  do {
    const std::string chunk = text.substr(at, kChunk);
    frames += Frame(std::string(1, static_cast<char>(kind)) + chunk);
    at += chunk.size();
  } while (at < text.size());
  return frames;
}

std::optional<std::string> FrameReader::Next() {
  if (broken_ || buffer_.size() < 4) return std::nullopt;
  uint32_t size = 0;
  for (int i = 0; i < 4; ++i)
    size |= static_cast<uint32_t>(static_cast<unsigned char>(buffer_[i])) << (8 * i);
  if (size > max_payload_) {
    broken_ = true;
    buffer_.clear();
    return std::nullopt;
  }
  if (buffer_.size() < 4 + static_cast<size_t>(size)) return std::nullopt;
  std::string payload = buffer_.substr(4, size);
  buffer_.erase(0, 4 + static_cast<size_t>(size));
  return payload;
}

std::vector<std::string> RequestWords(const std::string& payload) {
  std::vector<std::string> words;
  size_t start = 0;
  for (;;) {
    const size_t end = payload.find('\0', start);
    words.push_back(
        payload.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return words;
    start = end + 1;
  }
}

}  // namespace helmsman::ui::control
