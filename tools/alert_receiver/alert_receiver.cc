// helmsman-alert-receiver [--port N] [--port-file FILE] [--answer STATUS]
//
// Listens on 127.0.0.1 (port N, or a free one) and prints each POST it gets under /api/ as
// one line, "TARGET BODY", on standard output, answering STATUS (204 by default). The port
// is written to FILE once it listens. Ends on SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "console/web/http_server.h"

namespace {

volatile std::sig_atomic_t stop = 0;
void OnSignal(int) { stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  int answer = 204;
  std::string port_file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 < argc && arg == "--port") {
      port = std::atoi(argv[++i]);
    } else if (i + 1 < argc && arg == "--port-file") {
      port_file = argv[++i];
    } else if (i + 1 < argc && arg == "--answer") {
      answer = std::atoi(argv[++i]);
    } else {
      std::cerr << "usage: helmsman-alert-receiver [--port N] [--port-file FILE] [--answer STATUS]\n";
      return 2;
    }
  }
  std::mutex mutex;
  helmsman::web::HttpServer server(
      {}, [&](helmsman::web::HttpRequest request, helmsman::web::HttpReply reply) {
        {
          std::lock_guard lock(mutex);
          std::cout << request.target << " " << request.body << std::endl;
        }
        helmsman::web::HttpResponse response;
        response.status = answer;
        reply(response);
      });
  std::string error;
  if (!server.Start("127.0.0.1", port, &error)) {
    std::cerr << "helmsman-alert-receiver: " << error << "\n";
    return 1;
  }
  if (!port_file.empty()) {
    std::ofstream(port_file) << server.port() << "\n";
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.Stop();
  return 0;
}
