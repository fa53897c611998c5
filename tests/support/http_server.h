// A scriptable HTTP/1.1 server on a loopback address, for the program's probes and pages.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessary::testing {

struct HttpRequest {
  std::string method;
  std::string path;
  std::string headers;
  std::string body;
  double at;  // seconds on the monotonic clock
};

struct HttpResponse {
  HttpResponse() = default;
  explicit HttpResponse(int s, std::string b = "") : status(s), body(std::move(b)) {}
  int status = 200;
  std::string body;
  std::string contentType = "text/html; charset=utf-8";
  std::string extraHeaders;  // each line ending in \r\n
  double delay = 0;          // seconds before answering
  bool neverAnswer = false;  // keep the connection open and say nothing
};

class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;
  HttpServer(const std::string& address, int port, Handler handler);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  bool listening() const { return listener_ >= 0; }
  std::vector<HttpRequest> requests() const;
  size_t count(const std::string& path) const;
  // Waits until a request for path has arrived; false after timeout seconds.
  bool waitFor(const std::string& path, double timeout) const;

 private:
  void serve(int connection);

  Handler handler_;
  int listener_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<HttpRequest> requests_;
  std::vector<std::thread> connections_;
  std::vector<int> sockets_;
};

double monotonicSeconds();

// Undoes percent-encoding (encodeURIComponent) of a query value.
std::string urlDecode(const std::string& text);
// The decoded value of name in a request path's query, or empty.
std::string queryValue(const std::string& path, const std::string& name);

// A page whose load sends a beacon request back to where it came from.
std::string beaconPage(const std::string& title, const std::string& extraBody = "");

}  // namespace tessary::testing
