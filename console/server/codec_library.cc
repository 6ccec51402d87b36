#include "codec/qvcodec.h"
#include "console/server/codec_api.h"
#include "console/server/qvadmin_api.h"

namespace helmsman::server {

QVCodecLibrary::QVCodecLibrary(std::vector<std::string> folders, std::string library_name)
    : folders_(std::move(folders)), library_name_(std::move(library_name)) {}

QVCodecLibrary::~QVCodecLibrary() = default;

bool QVCodecLibrary::Load(std::string* error) {
  if (library_) return true;
  std::string reason;
  library_ = LoadLibraryByName(folders_, library_name_, &reason);
  if (!library_ && error) *error = library_name_ + " cannot be loaded: " + reason;
  return library_ != nullptr;
}

std::string QVCodecLibrary::LibraryPath(std::string* error) {
  if (!Load(error)) return "";
  std::string path = library_->Path();
  if (path.empty() && error) *error = "the platform does not tell where it was loaded from";
  return path;
}

int32_t QVCodecLibrary::Convert(int32_t type, const std::string& source_path,
                                const std::string& target_path, std::string* error) {
  if (!Load(error)) return kCodecNotBound;
  std::string reason;
  if (qvcodec_ == nullptr) {
    qvcodec_ = library_->Symbol("qvcodec", &reason);
    if (qvcodec_ == nullptr) {
      if (error) *error = library_name_ + " has no export qvcodec: " + reason;
      return kCodecNotBound;
    }
  }
  auto function = reinterpret_cast<QvcodecFunction>(qvcodec_);
  return function(type, source_path.c_str(), target_path.c_str());
}

}  // namespace helmsman::server
