#!/usr/bin/env bash
# Checks the generated signctl(1) as man shows it: it renders without a warning, its
# COMMANDS section has an entry for every command that `signctl --help` lists (under every
# name) holding every option and argument of that command's own help, and no other
# section lists commands.
#   check-signctl-page.sh SIGNCTL PAGE
set -euo pipefail
signctl=$1
page=$2
export LC_ALL=C MANWIDTH=250

warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
if [[ -n $warnings ]]; then
  echo "signctl(1): man warns: $warnings" >&2
  exit 1
fi

# Each command's names ("@@ send-file, transfer-file-to-display"), then its own help.
helps=$(
  "$signctl" --help |
    awk '/^[^ ].*:$/ { commands = ($0 != "Options:"); next }
         commands && /^  [^ ]/ { sub(/^  /, ""); sub(/  .*| [A-Z].*/, ""); print }' |
    while read -r names; do
      printf '@@ %s\n' "$names"
      "$signctl" "${names%%,*}" --help
    done
)

man -l "$page" | awk '
  # The page: entries at 7 columns, their options at 14. Every word of a tag names the
  # entry it starts; outside COMMANDS, the first word of a tag is kept as stray.
  FNR == NR {
    if (/^[A-Z]/) { section = $0; next }
    if (/^       [^ ]/) {
      n = split($0, words, /[ ,]+/)
      current = words[2]
      if (section == "COMMANDS") {
        for (i = 2; i <= n; ++i) entry[words[i]] = current
      } else {
        stray[current] = section
      }
    }
    if (section == "COMMANDS" && current != "") block[current] = block[current] "\n" $0
    next
  }
  # The helps: each name must have its entry, each option must be in the first name'"'"'s.
  /^@@ / {
    sub(/^@@ /, "")
    n = split($0, names, /, /)
    first = names[1]
    ++commands
    for (i = 1; i <= n; ++i) {
      if (!(names[i] in entry)) fail("no entry for " names[i])
      if (names[i] in stray) fail(names[i] " is listed under " stray[names[i]])
    }
    next
  }
  /^  [^ ]/ && $1 != "-h,--help" && (first in entry) {
    if (index(block[entry[first]], " " $1) == 0) fail(first " lacks " $1)
  }
  function fail(text) { print "signctl(1): " text > "/dev/stderr"; ++failures }
  END {
    if (commands == 0) fail("no command read from signctl --help")
    if (failures) exit 1
    print "signctl(1): " commands " commands, each with its options"
  }' - <(printf '%s\n' "$helps")
