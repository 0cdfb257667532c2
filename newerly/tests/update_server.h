// A small HTTP server on 127.0.0.1 for the update tests, run on a thread of the test process:
// it serves the files it is given under the update folder, answers anything else with a 404
// error page, and can misbehave as servers and networks do: drop the connection part way through
// a file, stall with the connection open, trickle, announce a length that is not the body's, or
// redirect elsewhere.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace newerlytest {

struct Reply {
  int status = 200;
  std::string body;
  // How much of the body is sent before the connection is closed (the full length is still
  // announced); npos sends it whole.
  size_t cutAt = std::string::npos;
  // At cutAt, hold the connection open and send nothing more (until the client gives up or the
  // server stops) instead of closing it.
  bool stall = false;
  // The Content-Length announced; -1 announces the body's true length.
  long long announced = -1;
  // Sent as a Location header (with a 302 status, a redirect).
  std::string location = {};
  // Sends the body a kilobyte at a time, this many milliseconds apart: a server that is never
  // silent long enough to be given up for silence.
  unsigned trickleMs = 0;
};

class UpdateServer {
 public:
  // Listens on address:port (0: a free port of the system's choice). Another loopback address
  // (127.0.0.2) stands for another host.
  explicit UpdateServer(unsigned short port = 0, const char* address = "127.0.0.1");
  ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  bool Listening() const { return listener_ != NoSocket; }
  unsigned short Port() const { return port_; }
  // The update folder on this server, ending in "/".
  std::string BaseUrl() const;

  // Serves `reply` for a name in the update folder.
  void Serve(const std::string& name, Reply reply);
  void ServeFile(const std::string& name, std::string body) { Serve(name, Reply{200, std::move(body)}); }
  // Serves the replies one request after another; the last one stays.
  void ServeInTurn(const std::string& name, std::vector<Reply> replies);
  void Forget(const std::string& name);
  // The paths asked for, in order (names in the update folder without the folder).
  std::vector<std::string> Requests() const;
  void ForgetRequests();

 private:
  void Run();
  // A Winsock SOCKET, kept as its integer so that this header needs no Winsock header.
  static constexpr std::uintptr_t NoSocket = ~std::uintptr_t{0};
  void Answer(std::uintptr_t s);

  std::uintptr_t listener_ = NoSocket;
  unsigned short port_ = 0;
  std::string address_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, Reply> files_;
  std::map<std::string, std::vector<Reply>> turns_;
  std::vector<std::string> requests_;
};

// The folder part of the update URL ("/quietrail2003/") and the test build's port.
const std::string& UpdateFolderPath();
unsigned short TestBuildPort();

}  // namespace newerlytest
