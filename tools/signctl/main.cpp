// signctl: every control operation from the shell.
#include <iostream>

#include "commands.hpp"

int main(int argc, char** argv) {
  CLI::App app{"signctl - drive programmable LED message signs"};
  app.require_subcommand(1);
  signctl::AddOfflineCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "signctl: " << e.what() << " (see signctl --help)\n";
    return signctl::kUsage;
  } catch (const signctl::UsageError& e) {
    std::cerr << "signctl: " << e.what() << '\n';
    return signctl::kUsage;
  }
  return signctl::kDone;
}
