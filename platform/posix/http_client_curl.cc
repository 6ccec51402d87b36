#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/http_client.h"

namespace helmsman::platform {

namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The reply's body is not wanted: it is taken and dropped.
size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

size_t TakeHeader(char* data, size_t size, size_t count, void* user) {
  const size_t bytes = size * count;
  std::string_view line(data, bytes);
  constexpr std::string_view kName = "retry-after:";
  if (line.size() > kName.size()) {
    bool match = true;
    for (size_t i = 0; i < kName.size() && match; ++i) {
      match = std::tolower(static_cast<unsigned char>(line[i])) == kName[i];
    }
    if (match) {
      line.remove_prefix(kName.size());
      while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
      int seconds = 0;
      size_t digits = 0;
      while (digits < line.size() && digits < 6 && std::isdigit(static_cast<unsigned char>(line[digits]))) {
        seconds = seconds * 10 + (line[digits] - '0');
        ++digits;
      }
      if (digits > 0) *static_cast<int*>(user) = seconds;
    }
  }
  return bytes;
}

}  // namespace

HttpPostResult HttpPost(const std::string& url, const std::string& content_type,
                        const std::string& body, const HttpPostOptions& options) {
  GlobalInit();
  HttpPostResult result;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    result.error = "the HTTP client could not start";
    return result;
  }
  char error[CURL_ERROR_SIZE] = {};
  curl_slist* headers = curl_slist_append(nullptr, ("Content-Type: " + content_type).c_str());
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options.ca_file.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options.timeout_ms));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.timeout_ms));
  // No signals from the name lookup's time-out: the call runs on a thread of the console.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Helmsman alerts");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, TakeHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result.retry_after_seconds);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  const CURLcode code = curl_easy_perform(curl);
  if (code == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    result.status = static_cast<int>(status);
  } else {
    result.error = error[0] != '\0' ? error : curl_easy_strerror(code);
    result.retry_after_seconds = -1;
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return result;
}

}  // namespace helmsman::platform
