// signctl: every control operation from the shell.
#include <iostream>

#include "commands.hpp"

int main(int argc, char** argv) {
  CLI::App app{"signctl - drive programmable LED message signs"};
  app.require_subcommand(1);
  // Global options may also follow the subcommand (signctl stats --json).
  app.fallthrough();
  signctl::Globals globals;
  app.add_option("--connect", globals.connect,
                 "The sign: tcp://HOST[:PORT], serial:DEVICE[?baud=N] or modem:DEVICE?dial=NUMBER")
      ->capture_default_str();
  app.add_option("--node", globals.node, "The sign's node address (255 = all signs)")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
  app.add_flag("--new-bcc", globals.newBcc, "Ask the sign for the new block check");
  app.add_flag("--json", globals.json, "Print the result as one JSON object");
  app.add_option("--log", globals.log, "Write the communication log to this file");
  app.add_option("--timeout", globals.timeout, "Time-out of one read, in milliseconds")
      ->check(CLI::Range(1, 3600000));

  signctl::Registry registry(app);
  signctl::AddShortForms(registry);
  signctl::AddDiagCommands(registry);
  signctl::AddTextCommands(registry);
  signctl::AddMessageCommands(registry);
  signctl::AddPlayCommands(registry);
  signctl::AddDirCommands(registry);
  signctl::AddDataCommands(registry);
  signctl::AddOfflineCommands(app, globals);
  try {
    app.parse(argc, argv);
    if (const auto* chosen = registry.Chosen()) {
      return signctl::Execute(globals, chosen->sub->get_name(), chosen->action);
    }
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
