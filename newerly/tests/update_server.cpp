#include <winsock2.h>
#include <ws2tcpip.h>

#include "update_server.h"

#include <cstdlib>

namespace newerlytest {

namespace {

struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

bool SendAll(SOCKET s, const char* data, size_t size) {
  while (size > 0) {
    int sent = send(s, data, static_cast<int>(size > 65536 ? 65536 : size), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace

const std::string& UpdateFolderPath() {
  // The path of the test build's base URL: after "//host:port".
  static const std::string path = [] {
    std::string url = NEWERLY_TEST_BASE_URL;
    size_t host = url.find("//");
    size_t slash = url.find('/', host == std::string::npos ? 0 : host + 2);
    return slash == std::string::npos ? std::string("/") : url.substr(slash);
  }();
  return path;
}

unsigned short TestBuildPort() {
  std::string url = NEWERLY_TEST_BASE_URL;
  size_t host = url.find("//");
  size_t colon = url.find(':', host == std::string::npos ? 0 : host + 2);
  return colon == std::string::npos ? 80 : static_cast<unsigned short>(std::atoi(url.c_str() + colon + 1));
}

UpdateServer::UpdateServer(unsigned short port, const char* address) : address_(address) {
  static WinsockUser winsock;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return;
  BOOL reuse = TRUE;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = inet_addr(address);
  where.sin_port = htons(port);
  if (bind(s, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || listen(s, 16) != 0) {
    closesocket(s);
    return;
  }
  int length = sizeof where;
  getsockname(s, reinterpret_cast<sockaddr*>(&where), &length);
  port_ = ntohs(where.sin_port);
  listener_ = s;
  thread_ = std::thread([this] { Run(); });
}

UpdateServer::~UpdateServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != NoSocket) closesocket(static_cast<SOCKET>(listener_));
}

std::string UpdateServer::BaseUrl() const {
  return "http://" + address_ + ":" + std::to_string(port_) + UpdateFolderPath();
}

void UpdateServer::Serve(const std::string& name, Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  files_[name] = std::move(reply);
}

void UpdateServer::ServeInTurn(const std::string& name, std::vector<Reply> replies) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (replies.empty()) return;
  files_[name] = replies.back();
  replies.pop_back();
  turns_[name] = std::move(replies);
}

void UpdateServer::Forget(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  files_.erase(name);
  turns_.erase(name);
}

std::vector<std::string> UpdateServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void UpdateServer::ForgetRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

void UpdateServer::Run() {
  while (!stop_) {
    fd_set ready;
    FD_ZERO(&ready);
    SOCKET listener = static_cast<SOCKET>(listener_);
    FD_SET(listener, &ready);
    timeval wait{0, 50000};
    if (select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
    SOCKET s = accept(listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) continue;
    Answer(s);
    closesocket(s);
  }
}

void UpdateServer::Answer(std::uintptr_t socket) {
  SOCKET s = static_cast<SOCKET>(socket);
  DWORD timeout = 5000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    int got = recv(s, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<size_t>(got));
  }
  // "GET /folder/name HTTP/1.1"
  size_t start = request.find(' ');
  size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
  if (end == std::string::npos) return;
  std::string path = request.substr(start + 1, end - start - 1);
  std::string name = path.rfind(UpdateFolderPath(), 0) == 0 ? path.substr(UpdateFolderPath().size()) : path;

  Reply reply{404, "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>"
                   "<p>The requested URL was not found on this server.</p></body></html>"};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(name);
    auto found = files_.find(name);
    if (found != files_.end()) reply = found->second;
    if (auto turn = turns_.find(name); turn != turns_.end() && !turn->second.empty()) {
      reply = turn->second.front();
      turn->second.erase(turn->second.begin());
    }
  }
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) +
                     "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                     std::to_string(reply.announced >= 0 ? static_cast<unsigned long long>(reply.announced)
                                                         : reply.body.size()) + "\r\n" +
                     (reply.location.empty() ? "" : "Location: " + reply.location + "\r\n") +
                     "Connection: close\r\n\r\n";
  if (!SendAll(s, head.data(), head.size())) return;
  size_t sent = reply.cutAt < reply.body.size() ? reply.cutAt : reply.body.size();
  if (reply.trickleMs) {
    // A kilobyte at a time: smaller pieces the platform gathers before it reports them, and the
    // download would look silent rather than slow.
    const size_t piece = 1024;
    for (size_t at = 0; at < sent && !stop_; at += piece) {
      if (!SendAll(s, reply.body.data() + at, sent - at < piece ? sent - at : piece)) return;
      Sleep(reply.trickleMs);
    }
  } else {
    SendAll(s, reply.body.data(), sent);
  }
  if (reply.stall) {
    // Nothing more: wait until the client closes its end or the server stops.
    timeout = 100;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    while (!stop_) {
      int got = recv(s, buffer, sizeof buffer, 0);
      if (got == 0 || (got < 0 && WSAGetLastError() != WSAETIMEDOUT)) break;
    }
    return;
  }
  shutdown(s, SD_SEND);
  // Let the client read to the end before the socket goes.
  timeout = 1000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  while (recv(s, buffer, sizeof buffer, 0) > 0) {
  }
}

}  // namespace newerlytest
