// A small thread-per-connection HTTP server; enough HTTP for a web engine and a probe.
#include "support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace tessary::testing {

double monotonicSeconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string urlDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string queryValue(const std::string& path, const std::string& name) {
  size_t at = path.find(name + "=");
  if (at == std::string::npos) return "";
  at += name.size() + 1;
  return urlDecode(path.substr(at, path.find('&', at) - at));
}

std::string beaconPage(const std::string& title, const std::string& extraBody) {
  return "<!doctype html><html><head><meta charset=utf-8><title>" + title +
         "</title></head><body><h1>" + title + "</h1>" + extraBody +
         "<script>addEventListener('load', () => fetch('/beacon?' + encodeURIComponent("
         "document.title)));</script></body></html>";
}

HttpServer::HttpServer(const std::string& address, int port, Handler handler)
    : handler_(std::move(handler)) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) {
    ::close(fd);
    return;
  }
  listener_ = fd;
  acceptor_ = std::thread([this] {
    for (;;) {
      int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) {
        if (stopping_) return;
        continue;
      }
      std::lock_guard lock(mutex_);
      sockets_.push_back(connection);
      connections_.emplace_back([this, connection] { serve(connection); });
    }
  });
}

HttpServer::~HttpServer() {
  if (listener_ < 0) return;
  stopping_ = true;
  ::shutdown(listener_, SHUT_RDWR);
  acceptor_.join();
  ::close(listener_);
  {
    std::lock_guard lock(mutex_);
    for (int s : sockets_) ::shutdown(s, SHUT_RDWR);
  }
  for (auto& t : connections_) t.join();
  for (int s : sockets_) ::close(s);
}

void HttpServer::serve(int connection) {
  std::string buffer;
  char chunk[8192];
  while (!stopping_) {
    size_t headerEnd;
    while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
      ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
      if (n <= 0) return;
      buffer.append(chunk, static_cast<size_t>(n));
    }
    HttpRequest request;
    request.headers = buffer.substr(0, headerEnd);
    size_t space1 = request.headers.find(' ');
    size_t space2 = request.headers.find(' ', space1 + 1);
    request.method = request.headers.substr(0, space1);
    request.path = request.headers.substr(space1 + 1, space2 - space1 - 1);
    size_t length = 0;
    for (const char* name : {"\r\nContent-Length:", "\r\ncontent-length:"}) {
      size_t at = request.headers.find(name);
      if (at != std::string::npos)
        length = std::stoul(request.headers.substr(at + std::strlen(name)));
    }
    buffer.erase(0, headerEnd + 4);
    while (buffer.size() < length) {
      ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      buffer.append(chunk, static_cast<size_t>(n));
    }
    request.body = buffer.substr(0, length);
    buffer.erase(0, std::min(length, buffer.size()));
    request.at = monotonicSeconds();
    HttpResponse response = handler_(request);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    arrived_.notify_all();
    if (response.neverAnswer) {
      while (!stopping_ && ::recv(connection, chunk, sizeof chunk, 0) > 0) {
      }
      break;
    }
    if (response.delay > 0) {
      std::this_thread::sleep_for(std::chrono::duration<double>(response.delay));
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " Status\r\n" +
                       "Content-Type: " + response.contentType + "\r\n" +
                       "Content-Length: " + std::to_string(response.body.size()) + "\r\n" +
                       "Cache-Control: no-store\r\n" + response.extraHeaders + "\r\n";
    std::string all = head + response.body;
    if (::send(connection, all.data(), all.size(), MSG_NOSIGNAL) < 0) return;
  }
}

std::vector<HttpRequest> HttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t HttpServer::count(const std::string& path) const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const auto& r : requests_) n += r.path == path;
  return n;
}

bool HttpServer::waitFor(const std::string& path, double timeout) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::duration<double>(timeout), [&] {
    for (const auto& r : requests_)
      if (r.path.rfind(path, 0) == 0) return true;
    return false;
  });
}

}  // namespace tessary::testing
