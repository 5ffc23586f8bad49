// signctl: every control operation from the shell.
#include "signctl/command_line.hpp"

int main(int argc, char** argv) {
  return signctl::Main(std::vector<std::string>(argv + 1, argv + argc));
}
