#include "guide.hpp"

#include <algorithm>
#include <set>
#include <sstream>
#include <utility>

namespace signctl {

namespace {

std::string_view Bare(std::string_view name) {
  return name.substr(std::min(name.find_first_not_of('-'), name.size()));
}

// The optimal-string-alignment distance (one edit: a letter added, dropped, changed, or two
// neighbours swapped) from `word` to the nearest start of `name`, the whole name included,
// so that a slip in the first part of a long name still leads to it.
std::size_t DistanceToStart(std::string_view word, std::string_view name) {
  const std::size_t m = word.size(), n = name.size();
  std::vector<std::size_t> d((m + 1) * (n + 1));
  const auto at = [&](std::size_t i, std::size_t j) -> std::size_t& { return d[i * (n + 1) + j]; };
  for (std::size_t i = 0; i <= m; ++i)
    at(i, 0) = i;
  for (std::size_t j = 0; j <= n; ++j)
    at(0, j) = j;
  for (std::size_t i = 1; i <= m; ++i) {
    for (std::size_t j = 1; j <= n; ++j) {
      const std::size_t change = word[i - 1] == name[j - 1] ? 0 : 1;
      at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + change});
      if (i > 1 && j > 1 && word[i - 1] == name[j - 2] && word[i - 2] == name[j - 1]) {
        at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
      }
    }
  }
  std::size_t best = m;
  for (std::size_t j = 0; j <= n; ++j)
    best = std::min(best, at(m, j));
  return best;
}

std::vector<const CLI::App*> Commands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
}

std::vector<std::string> CommandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : Commands(app)) {
    names.push_back(sub->get_name());
    names.insert(names.end(), sub->get_aliases().begin(), sub->get_aliases().end());
  }
  return names;
}

std::vector<std::string> OptionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* o : app.get_options()) {
    if (o->get_name().empty() || o->get_positional()) continue;  // hidden, or no option
    for (const std::string& name : o->get_lnames())
      names.push_back("--" + name);
  }
  return names;
}

std::string Join(const std::vector<std::string>& words, std::string_view between) {
  std::string text;
  for (const std::string& w : words)
    text += (text.empty() ? "" : std::string(between)) + w;
  return text;
}

// Whether the value is a file on this computer: nothing in the option's type says so, so it
// goes by the names that the commands give to files.
bool TakesFile(const CLI::Option& o) {
  static const std::set<std::string> kNames{"FILE", "DEST", "--log", "--loader"};
  return o.get_type_name() == "FILE" || kNames.count(o.get_name(o.get_positional())) > 0;
}

// One command's options (or the global ones) as the completion script's shell variables:
// all options, those that take a value, those whose value is a file, those that may repeat,
// and the positionals (f a file, - anything else, a trailing + repeats the last).
std::string ShellLists(const CLI::App& app, const std::string& prefix) {
  std::vector<std::string> all, values, files, many;
  std::string positionals;
  for (const CLI::Option* o : app.get_options()) {
    if (o->get_name().empty()) continue;
    const bool file = TakesFile(*o), repeats = o->get_items_expected_max() > 1;
    if (o->get_positional()) {
      positionals += std::string(file ? "f" : "-") + (repeats ? "+" : "");
      continue;
    }
    for (const std::string& lname : o->get_lnames()) {
      const std::string name = "--" + lname;
      all.push_back(name);
      if (o->get_items_expected_max() > 0) values.push_back(name);
      if (file) files.push_back(name);
      if (repeats) many.push_back(name);
    }
  }
  return prefix + "opts='" + Join(all, " ") + "' " + prefix + "vals='" + Join(values, " ") + "' " +
         prefix + "files='" + Join(files, " ") + "' " + prefix + "many='" + Join(many, " ") + "' " +
         prefix + "pos='" + positionals + "'";
}

// The part of the script that does not depend on the command table.
constexpr const char* kCompleter =
    R"(  local opts= vals= files= many= pos= cmd= want= n=0 i w o offer=
  local cur=${COMP_WORDS[COMP_CWORD]}
  # bash splits words at '=' and ':' (--log=FILE, tcp://HOST:PORT): join them again.
  local -a words=()
  for ((i = 1; i <= COMP_CWORD; i++)); do
    w=${COMP_WORDS[i]}
    if ((${#words[@]})) && [[ $w == [=:] || ${words[-1]} == *[=:] ]]; then
      words[-1]+=$w
    else
      words+=("$w")
    fi
  done
  [[ $cur == [=:] ]] && cur=
  local word=${words[-1]}
  unset 'words[-1]'
  # The command is the first word that is neither an option nor an option's value.
  for w in "${words[@]}"; do
    if [[ -n $want ]]; then want= && continue; fi
    case $w in
      --*=*) ;;
      -*) [[ " $gvals $vals " == *" $w "* ]] && want=$w ;;
      *) if [[ -z $cmd ]]; then cmd=$w && _signctl_command "$cmd"; else n=$((n + 1)); fi ;;
    esac
  done
  if [[ $word == --*=* ]]; then want=${word%%=*} && word=${word#*=}; fi
  if [[ -n $want ]]; then
    if [[ " $gfiles $files " == *" $want "* || $want == --connect && ( $word == serial:* || $word == modem:* ) ]]; then
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    elif [[ $want == --connect && $word != *:* ]]; then
      compopt -o nospace 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -W 'tcp://127.0.0.1: serial: modem:' -- "$word")
    fi
    return 0
  fi
  if [[ -z $cmd && $cur != -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
    return 0
  fi
  local kind=${pos:n:1}
  [[ ( -z $kind || $kind == + ) && $pos == *+ ]] && kind=${pos: -2:1}
  if [[ $cur != -* && $kind == f ]]; then
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return 0
  fi
  # An option already given is offered again only when it may repeat.
  for o in $opts $gopts; do
    [[ " $offer " == *" $o "* ]] && continue
    [[ " $many $gmany " != *" $o "* && ( " ${words[*]} " == *" $o "* || " ${words[*]} " == *" $o="* ) ]] && continue
    offer+=" $o"
  done
  mapfile -t COMPREPLY < <(compgen -W "$offer" -- "$cur")
}
)";

}  // namespace

std::string BashCompletion(const CLI::App& app) {
  std::ostringstream out;
  out << "# bash completion for signctl, made by signctl from its own command table.\n"
         "_signctl_command() {\n"
         "  case $1 in\n";
  for (const CLI::App* sub : Commands(app)) {
    std::vector<std::string> names{sub->get_name()};
    names.insert(names.end(), sub->get_aliases().begin(), sub->get_aliases().end());
    out << "    " << Join(names, "|") << ") " << ShellLists(*sub, "") << " ;;\n";
  }
  out << "  esac\n}\n\n_signctl() {\n"
      << "  local commands='" << Join(CommandNames(app), " ") << "'\n"
      << "  local " << ShellLists(app, "g") << '\n'
      << kCompleter << "complete -F _signctl signctl\n";
  return out.str();
}

std::vector<std::string> Closest(std::string_view word, const std::vector<std::string>& candidates,
                                 std::size_t most) {
  const std::string_view bare = Bare(word);
  if (bare.empty()) return {};
  // About one slip in three letters; a word of one or two letters must begin the name.
  const std::size_t cutoff = bare.size() < 3 ? 0 : bare.size() / 3;
  std::vector<std::pair<std::size_t, std::string>> near;
  for (const std::string& name : candidates) {
    std::size_t distance = DistanceToStart(bare, Bare(name));
    // A name holding the whole word (temp: set-display-temp-adjust) is one slip away.
    if (bare.size() >= 3 && Bare(name).find(bare) != std::string_view::npos) {
      distance = std::min<std::size_t>(distance, 1);
    }
    if (distance <= cutoff) near.emplace_back(distance, name);
  }
  std::sort(near.begin(), near.end());
  near.erase(std::unique(near.begin(), near.end()), near.end());
  // Only the nearest and those one slip further: a long list of far names helps nobody.
  std::vector<std::string> names;
  for (const auto& [distance, name] : near) {
    if (names.size() == most || distance > near.front().first + 1) break;
    names.push_back(name);
  }
  return names;
}

std::string UnknownCommand(const CLI::App& app, std::string_view word) {
  const std::vector<std::string> near = Closest(word, CommandNames(app));
  const std::string text = "unknown command '" + std::string(word) + "'";
  if (near.empty()) return text + " (see signctl --help for the list)";
  return text + ": did you mean " + Join(near, ", ") + "? (see signctl --help)";
}

std::string UnknownOption(const CLI::App& app, const CLI::App* sub, std::string_view option) {
  std::vector<std::string> candidates = sub ? OptionNames(*sub) : std::vector<std::string>{};
  for (std::string& name : OptionNames(app))
    candidates.push_back(std::move(name));
  const std::vector<std::string> near = Closest(option, candidates);
  const std::string command = sub ? sub->get_name() + " " : "";
  std::string text = "unknown option '" + std::string(option) + "'";
  if (sub) text += " for " + sub->get_name();
  if (!near.empty()) text += ": did you mean " + Join(near, ", ") + "?";
  return text + " (see signctl " + command + "--help)";
}

std::string ExplainParseError(const CLI::App& app, const CLI::ParseError& e) {
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  const CLI::App* sub = chosen.empty() ? nullptr : chosen.front();
  // The words nothing took: a mistyped one is the likely cause of a missing value as well.
  for (const std::string& word : app.remaining(true)) {
    if (word.size() > 1 && word.front() == '-') {
      return UnknownOption(app, sub, std::string_view(word).substr(0, word.find('=')));
    }
    if (sub == nullptr) return UnknownCommand(app, word);
  }
  return std::string(e.what()) + " (see signctl " + (sub ? sub->get_name() + " " : "") + "--help)";
}

}  // namespace signctl
