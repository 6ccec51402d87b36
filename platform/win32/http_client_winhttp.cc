#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "platform/http_client.h"

namespace helmsman::platform {

namespace {

class Internet {
 public:
  explicit Internet(HINTERNET handle) : handle_(handle) {}
  ~Internet() {
    if (handle_ != nullptr) WinHttpCloseHandle(handle_);
  }
  Internet(const Internet&) = delete;
  Internet& operator=(const Internet&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Why(const char* what) {
  const DWORD code = GetLastError();
  switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
      return std::string(what) + ": timed out";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return std::string(what) + ": the host name could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return std::string(what) + ": the connection was refused";
    case ERROR_WINHTTP_SECURE_FAILURE:
      return std::string(what) + ": the certificate did not verify";
    default:
      return std::string(what) + ": error " + std::to_string(code);
  }
}

}  // namespace

HttpPostResult HttpPost(const std::string& url, const std::string& content_type,
                        const std::string& body, const HttpPostOptions& options) {
  HttpPostResult result;
  std::wstring wide_url = Wide(url);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide_url.c_str(), 0, 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
    result.error = "not an http:// or https:// address";
    return result;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  Internet session(WinHttpOpen(L"Helmsman alerts", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (session.get() == nullptr) {
    result.error = Why("the HTTP client could not start");
    return result;
  }
  const int timeout = options.timeout_ms;
  WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);
  Internet connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
  if (connection.get() == nullptr) {
    result.error = Why("cannot connect");
    return result;
  }
  const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  Internet request(WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr,
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (request.get() == nullptr) {
    result.error = Why("cannot make the request");
    return result;
  }
  // A redirect's status is the answer: it is not followed.
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
  const std::wstring header = L"Content-Type: " + Wide(content_type);
  if (!WinHttpSendRequest(request.get(), header.c_str(), static_cast<DWORD>(header.size()),
                          const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                          static_cast<DWORD>(body.size()), 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    result.error = Why("no answer");
    return result;
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  result.status = static_cast<int>(status);
  DWORD retry = 0;
  size = sizeof retry;
  if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RETRY_AFTER | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &retry, &size, WINHTTP_NO_HEADER_INDEX)) {
    result.retry_after_seconds = static_cast<int>(retry);
  }
  return result;
}

}  // namespace helmsman::platform
