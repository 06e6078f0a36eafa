// The URL check bound by name, as a script host binds it, against an HTTP
// server this test runs on the loopback address, a loopback port that no one
// listens on, and file URLs in a scratch folder.
#include <windows.h>

#include <gtest/gtest.h>
#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "library_binding.h"
#include "scratch_folder.h"
#include "unique_resource.h"

namespace {

using kit::testing::ScratchFolder;
using kit::testing::WriteBytes;

void CloseSocketValue(SOCKET s) noexcept { ::closesocket(s); }
struct socket_traits {
  using type = SOCKET;
  static SOCKET invalid() noexcept { return INVALID_SOCKET; }
  static void close(SOCKET s) noexcept { CloseSocketValue(s); }
};
using unique_socket = kit::unique_any_t<socket_traits>;

// A socket bound to 127.0.0.1 on a port the system picks.
unique_socket BoundLoopbackSocket(int& port) {
  unique_socket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (!s || ::bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return {};
  port = ntohs(address.sin_port);
  return s;
}

// Answers every request on its own thread: 404 for paths below /missing,
// 200 (cacheable for an hour) for any other, and notes each request line.
class LoopbackHttpServer {
 public:
  LoopbackHttpServer() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = BoundLoopbackSocket(port_);
    if (listener_ && ::listen(listener_.get(), SOMAXCONN) == 0)
      thread_ = std::thread([this] { Serve(); });
  }
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;
  ~LoopbackHttpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    listener_.reset();
    if (started_) ::WSACleanup();
  }

  bool Listening() const { return thread_.joinable(); }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<std::string> Requests() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    while (!stop_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_.get(), &readable);
      timeval wait = {0, 50 * 1000};
      if (::select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
      const unique_socket client(::accept(listener_.get(), nullptr, nullptr));
      if (client) Answer(client.get());
    }
  }

  void Answer(SOCKET client) {
    std::string request;
    char chunk[1024];
    int got;
    while (request.find("\r\n\r\n") == std::string::npos &&
           (got = ::recv(client, chunk, sizeof chunk, 0)) > 0)
      request.append(chunk, got);
    const std::string line = request.substr(0, request.find("\r\n"));
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(line);
    }
    const bool missing = line.find(" /missing") != std::string::npos;
    const std::string body = missing ? "not here" : "here";
    const std::string answer =
        std::string(missing ? "HTTP/1.1 404 Not Found\r\n" : "HTTP/1.1 200 OK\r\n") +
        "Content-Type: text/plain\r\nCache-Control: max-age=3600\r\n"
        "Last-Modified: Mon, 07 Dec 2026 08:00:00 GMT\r\nConnection: close\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    ::send(client, answer.data(), static_cast<int>(answer.size()), 0);
    ::shutdown(client, SD_SEND);
    while (::recv(client, chunk, sizeof chunk, 0) > 0) {
    }
  }

  bool started_ = false;
  int port_ = 0;
  unique_socket listener_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A local path as a file URL: file:///C:/folder/name.
std::string FileUrl(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return "file:///" + path;
}

class UrlCheck : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(urlValid_);
    ASSERT_TRUE(server_.Listening());
  }

  const kit::unique_hmodule library_{::LoadLibraryA("Tandrel.dll")};
  const decltype(&::web_complex_url_valid) urlValid_ =
      TANDREL_BIND(library_.get(), web_complex_url_valid);
  LoopbackHttpServer server_;
  const ScratchFolder scratch_;
};

// On Windows the page, cacheable for an hour, would come from the cache the
// second time without the reload flag; Wine's WinInet asks the server anyway.
TEST_F(UrlCheck, AnyAnswerOfTheServerOpensAndEveryCallAsksIt) {
  EXPECT_EQ(urlValid_(server_.Url("/page.htm").c_str()), 0);
  EXPECT_EQ(urlValid_(server_.Url("/page.htm").c_str()), 0);
  EXPECT_EQ(urlValid_(server_.Url("/missing.htm").c_str()), 0) << "404 is an answer";
  const std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u) << "the cacheable page is asked for each time";
  EXPECT_EQ(requests[0], "GET /page.htm HTTP/1.1");
  EXPECT_EQ(requests[1], "GET /page.htm HTTP/1.1");
  EXPECT_EQ(requests[2], "GET /missing.htm HTTP/1.1");
}

TEST_F(UrlCheck, APortNoOneListensOnDoesNotOpen) {
  int port = 0;
  {
    const unique_socket closed = BoundLoopbackSocket(port);
    ASSERT_TRUE(closed);
  }
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/page.htm";
  EXPECT_EQ(urlValid_(url.c_str()), 1);
}

TEST_F(UrlCheck, FileUrlsOpenPresentFilesOnlyAndLeaveThemFree) {
  const std::string present = scratch_ / "present.htm";
  WriteBytes(present, "<html></html>");
  EXPECT_EQ(urlValid_(FileUrl(present).c_str()), 0);
  EXPECT_TRUE(::DeleteFileA(present.c_str())) << "closed again when the call returns";
  EXPECT_EQ(urlValid_(FileUrl(present).c_str()), 1);
  EXPECT_EQ(urlValid_(FileUrl((scratch_ / "never.htm")).c_str()), 1);

  // Opened without sharing: a file someone holds open does not open.
  const std::string held = scratch_ / "held.htm";
  WriteBytes(held, "held");
  {
    const kit::unique_file holder(::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
    ASSERT_TRUE(holder);
    EXPECT_EQ(urlValid_(FileUrl(held).c_str()), 1);
  }
  EXPECT_EQ(urlValid_(FileUrl(held).c_str()), 0);

  // Escapes name the characters they stand for, as in any URL.
  const std::string spaced = scratch_ / "with space.htm";
  WriteBytes(spaced, "spaced");
  EXPECT_EQ(urlValid_(FileUrl(spaced).c_str()), 0);
  EXPECT_EQ(urlValid_(FileUrl((scratch_ / "with%20space.htm")).c_str()), 0);
  EXPECT_EQ(urlValid_(("file://" + spaced).c_str()), 0);
  EXPECT_TRUE(server_.Requests().empty()) << "file URLs never reach the network";
}

TEST_F(UrlCheck, TextsThatAreNoUrlDoNotOpen) {
  for (const char* text :
       {"", " ", "not a url", "http://", "::::", "page.htm", "file://", "http://127.0.0.1:0/"})
    EXPECT_EQ(urlValid_(text), 1) << '"' << text << '"';
  EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace
