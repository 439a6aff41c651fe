#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Files.h"

namespace platform {
namespace {

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// Addresses of host:port for the socket type; null on failure (last error set). An empty host
// is every local address (for binding).
addrinfo* Resolve(const std::string& host, uint16_t port, int type, int flags = 0) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = type;
  hints.ai_flags = flags | AI_NUMERICSERV | (host.empty() ? AI_PASSIVE : 0);
  const std::string service = std::to_string(port);
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0) {
    Fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return found;
}

int NewSocket(const addrinfo& a) {
  return ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
}

// Polls one descriptor for `events` and the stop event's descriptor; ms < 0 waits without end.
Socket::Wake PollWithStop(int fd, short events, HANDLE stop, int ms) {
  pollfd fds[2] = {{fd, events, 0}, {EventDescriptor(stop), POLLIN, 0}};
  const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
  for (;;) {
    const DWORD started = GetTickCount();
    const int n = ::poll(fds, count, ms);
    if (n > 0) {
      if (count == 2 && fds[1].revents != 0) return Socket::Wake::Stopped;
      return Socket::Wake::Readable;
    }
    if (n == 0) return Socket::Wake::TimedOut;
    if (errno != EINTR) return Socket::Wake::TimedOut;
    if (ms > 0) ms = std::max(0, ms - static_cast<int>(GetTickCount() - started));
  }
}

// A name lookup that the stop event can leave behind. getaddrinfo cannot be interrupted and
// may wait out the resolver's timeouts (5 s per name server), longer than a reader is given
// to stop; so it runs on a thread of its own, which a stopped wait leaves to finish and clean
// up alone (the state is shared until both are done with it).
class Lookup {
 public:
  Lookup() : Done(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~Lookup() {
    if (Found != nullptr) ::freeaddrinfo(Found);
    if (Done >= 0) ::close(Done);
  }
  Lookup(const Lookup&) = delete;
  Lookup& operator=(const Lookup&) = delete;

  // The addresses, as Resolve; null (last error set) on failure, after `ms`, or when `stop`
  // comes first (`stopped` set).
  static addrinfo* Run(const std::string& host, uint16_t port, int type, HANDLE stop, DWORD ms,
                       bool& stopped) {
    // A numeric address needs no name server: no thread for it.
    if (addrinfo* numeric = Resolve(host, port, type, AI_NUMERICHOST)) return numeric;
    auto state = std::make_shared<Lookup>();
    if (state->Done < 0) return Resolve(host, port, type);
    try {
      std::thread([state, host, port, type] { state->Finish(Resolve(host, port, type)); }).detach();
    } catch (const std::system_error&) {
      return Resolve(host, port, type);  // no thread to spare: wait for the answer here
    }
    const Socket::Wake wake = PollWithStop(state->Done, POLLIN, stop, static_cast<int>(ms));
    stopped = wake == Socket::Wake::Stopped;
    std::lock_guard<std::mutex> hold(state->Mutex);
    if (wake != Socket::Wake::Readable || state->Found == nullptr) {
      Fail(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    return std::exchange(state->Found, nullptr);
  }

 private:
  void Finish(addrinfo* found) {
    {
      std::lock_guard<std::mutex> hold(Mutex);
      Found = found;
    }
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(Done, &one, sizeof one);
  }

  std::mutex Mutex;
  addrinfo* Found = nullptr;  // guarded by Mutex
  const int Done;             // reads ready once the lookup has ended
};

// One non-blocking connect, waited for up to ms; the connected descriptor or -1.
int ConnectOne(const addrinfo& a, HANDLE stop, DWORD ms, bool& stopped) {
  int fd = NewSocket(a);
  if (fd < 0) return -1;
  if (::connect(fd, a.ai_addr, a.ai_addrlen) == 0) return fd;
  if (errno == EINPROGRESS) {
    Socket::Wake wake = PollWithStop(fd, POLLOUT, stop, static_cast<int>(ms));
    int error = 0;
    socklen_t size = sizeof error;
    if (wake == Socket::Wake::Readable &&
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
      return fd;
    }
    stopped = wake == Socket::Wake::Stopped;
  }
  ::close(fd);
  return -1;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    Fd = other.Fd;
    other.Fd = -1;
  }
  return *this;
}

void Socket::Close() {
  if (Fd >= 0) ::close(Fd);
  Fd = -1;
}

int32_t Socket::Receive(uint8_t* buffer, int32_t maximum) {
  if (Fd < 0) return -1;
  for (;;) {
    const ssize_t n = ::recv(Fd, buffer, static_cast<size_t>(maximum), 0);
    if (n > 0) return static_cast<int32_t>(n);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return -1;  // the end of the stream, or a reset
  }
}

bool Socket::SendAll(const uint8_t* bytes, int32_t count, DWORD timeoutMs) {
  while (count > 0 && Fd >= 0) {
    const ssize_t n = ::send(Fd, bytes, static_cast<size_t>(count), MSG_NOSIGNAL);
    if (n > 0) {
      bytes += n;
      count -= static_cast<int32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // A signal during the wait for room does not count as a failed link.
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        PollWithStop(Fd, POLLOUT, nullptr, static_cast<int>(timeoutMs)) == Wake::Readable) {
      continue;
    }
    return Fail(ERROR_GEN_FAILURE);
  }
  return count == 0;
}

Socket::Wake Socket::WaitReadable(HANDLE stop, DWORD ms) const {
  if (Fd < 0) {
    return WaitForSingleObject(stop, ms) == WAIT_OBJECT_0 ? Wake::Stopped : Wake::TimedOut;
  }
  return PollWithStop(Fd, POLLIN, stop, ms == INFINITE ? -1 : static_cast<int>(ms));
}

Socket Socket::ConnectTcp(const std::string& host, uint16_t port, HANDLE stop, DWORD timeoutMs) {
  bool stopped = false;
  addrinfo* found = Lookup::Run(host, port, SOCK_STREAM, stop, timeoutMs, stopped);
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0 && !stopped; a = a->ai_next) {
    fd = ConnectOne(*a, stop, timeoutMs, stopped);
  }
  if (found != nullptr) {
    ::freeaddrinfo(found);
    if (fd < 0) Fail(ERROR_GEN_FAILURE);
  }
  return Socket(fd);
}

Socket Socket::BindUdp(const std::string& host, uint16_t port) {
  addrinfo* found = Resolve(host, port, SOCK_DGRAM);
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = NewSocket(*a);
    if (fd < 0) continue;
    // Another listener of the same broadcast port does not keep this one out.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0) {
      Fail(ErrorFromErrno(errno));
      ::close(fd);
      fd = -1;
    }
  }
  if (found != nullptr) ::freeaddrinfo(found);
  return Socket(fd);
}

}  // namespace platform
