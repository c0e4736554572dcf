#include "termination.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orva {
namespace {
int g_pipe[2] = {-1, -1};  // written by the signal handler only

void Handler(int) {
  const char c = 1;
  [[maybe_unused]] auto r = ::write(g_pipe[1], &c, 1);
}
}  // namespace

void OnTerminationSignal(std::function<void()> onSignal) {
  if (g_pipe[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0) return;
  ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
  QObject::connect(notifier, &QSocketNotifier::activated, [onSignal = std::move(onSignal)] {
    char buf[16];
    [[maybe_unused]] auto r = ::read(g_pipe[0], buf, sizeof buf);
    onSignal();
  });
  struct sigaction sa {};
  sa.sa_handler = Handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

}  // namespace orva
