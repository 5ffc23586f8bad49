// Runs the built signctl with stdout and stderr apart, and finds a loopback port that
// nothing listens on.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "run_command.hpp"
#include "temp_dir.hpp"

inline const std::string kSignctl = SIGNCTL_PATH;

struct SignctlRun {
  int status;
  std::string out;
  std::string err;
};

inline SignctlRun Signctl(const TempDir& dir, const std::string& args) {
  const std::string err = (dir.path() / "stderr").string();
  const CommandResult r = RunCommand("(" + kSignctl + " " + args + " 2>" + err + ")");
  return {r.status, r.out, dir.Read("stderr")};
}

inline int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}
