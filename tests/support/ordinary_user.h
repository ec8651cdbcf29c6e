#pragma once

// Runs an operation with the rights of an ordinary user, for tests of
// permission failures. Root passes every permission check (and CI runs as
// root), so as root the operation runs in a child process as "nobody"; it must
// then use nothing but plain C++ and system calls.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "codec/text_types.h"

namespace mok::testing {

struct Outcome {
  bool ran = false;  // false: no ordinary user could be had here
  bool result = false;
  Text message;
};

// operation(Text& message) -> bool; its result and message come back.
template <typename Operation>
Outcome RunAsOrdinaryUser(Operation operation) {
  Outcome outcome;
  if (::geteuid() != 0) {
    outcome.result = operation(outcome.message);
    outcome.ran = true;
    return outcome;
  }
  int fds[2];
  if (::pipe(fds) != 0) return outcome;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    Text message;
    const char result = operation(message) ? 1 : 0;
    const bool sent = ::write(fds[1], &result, 1) == 1 &&
                ::write(fds[1], message.data(), message.size() * 2) == static_cast<ssize_t>(message.size() * 2);
    ::_exit(sent ? 0 : 3);
  }
  ::close(fds[1]);
  std::string received;
  char buffer[512];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      received.empty()) {
    return outcome;
  }
  outcome.ran = true;
  outcome.result = received[0] != 0;
  outcome.message.assign(reinterpret_cast<const char16_t*>(received.data() + 1), (received.size() - 1) / 2);
  return outcome;
}

}  // namespace mok::testing
