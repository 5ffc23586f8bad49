// signctl: every control operation from the shell.
#include <iostream>

#include "commands.hpp"

int main(int argc, char** argv) {
  CLI::App app{"signctl - drive programmable LED message signs"};
  signctl::Globals globals;
  signctl::Registry registry(app);
  signctl::BuildCommandLine(app, globals, registry);
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
