#!/usr/bin/env bash
# Writes the help2man include file of signctl(1) from signctl's own help. `signctl --help`
# names the commands but not their options, so each command's `signctl COMMAND --help` is
# read too: the page gets the options before the command, then one entry per command with
# its arguments and options.
#   signctl-commands.sh SIGNCTL OUTPUT
set -euo pipefail
signctl=$1
output=$2

# Text as roff, into REPLY: backslashes and hyphens escaped, no line taken for a request.
# (A variable, not a command substitution: the page has over a thousand of them.)
roff() {
  REPLY=${1//\\/\\e}
  REPLY=${REPLY//-/\\-}
  if [[ $REPLY == [.\']* ]]; then REPLY="\\&$REPLY"; fi
}

# One record per line of a CLI11 help text, fields separated by tabs:
#   D text         the description before the usage line
#   U usage        the usage line, without "Usage: "
#   H heading      a group heading ("Options", "Positionals", a group of commands)
#   E name desc    an option, a positional or a command, with its description
parse() {
  local line name='' desc='' usage_seen='' split=''
  flush() {
    if [[ -n $name ]]; then printf 'E\t%s\t%s\n' "$name" "$desc"; fi
    name='' desc='' split=''
  }
  while IFS= read -r line; do
    if [[ -z $usage_seen ]]; then
      if [[ $line == "Usage: "* ]]; then
        usage_seen=1
        printf 'U\t%s\n' "${line#Usage: }"
      elif [[ -n $line ]]; then
        printf 'D\t%s\n' "$line"
      fi
    elif [[ -z $line ]]; then
      flush
    elif [[ $line == "   "* ]]; then  # a description on a line of its own, or its rest
      line=${line#"${line%%[! ]*}"}
      if [[ -n $split ]]; then  # the name filled the column: it was all name
        name+=" $desc"
        desc=
      fi
      split=''
      desc=${desc:+$desc }$line
    elif [[ $line == "  "* ]]; then
      flush
      # The description starts at column 30, after at least one blank. A name that fills
      # the column leaves a single blank; a longer one puts the description on the next
      # line, which the branch above tells apart.
      if [[ ${line:2} == *"  "* ]]; then
        line=${line:2}
        name=${line%%  *}
        desc=${line#"$name"}
        desc=${desc#"${desc%%[! ]*}"}
      elif [[ ${line:29:1} == " " && ${line:30:1} == [^\ ] ]]; then
        name=${line:2:27}
        name=${name%"${name##*[! ]}"}
        desc=${line:30}
        split=1
      else
        name=${line:2}
      fi
    elif [[ $line == *: ]]; then
      flush
      printf 'H\t%s\n' "${line%:}"
    else
      flush
      printf 'D\t%s\n' "$line"
    fi
  done
  flush
}

# An option or a positional as a tagged paragraph: the names bold (a positional's
# italic), then what it takes, its range and default as the help gives them.
entry() {
  local first=${1%% *} font=I
  if [[ $first == -* ]]; then font=B; fi
  roff "$first"
  printf '.TP\n\\f%s%s\\fR' "$font" "$REPLY"
  roff "${1#"$first"}"
  printf '%s\n' "$REPLY"
  roff "$2"
  printf '%s\n' "$REPLY"
}

# One command: its names and arguments as the tag, its description, then its positionals
# and options (all but --help) as an indented list.
subcommand() {
  local names=$1 desc=$2 first tag='' name usage kind text rest options=()
  first=${names%%,*}
  IFS=',' read -ra aliases <<<"$names"
  for name in "${aliases[@]}"; do
    roff "${name# }"
    tag+="${tag:+, }\\fB$REPLY\\fR"
  done
  while IFS=$'\t' read -r kind text rest; do
    case $kind in
      U)
        usage=${text#*"$first"}  # what follows the program's and the command's names
        roff "${usage# }"
        tag+=" $REPLY"
        ;;
      E) [[ $text == "-h,--help" ]] || options+=("$text"$'\t'"$rest") ;;
    esac
  done < <("$signctl" "$first" --help | parse)
  roff "$desc"
  printf '.TP\n%s\n%s\n' "$tag" "$REPLY"
  if ((${#options[@]})); then
    printf '.RS\n'
    for text in "${options[@]}"; do
      entry "${text%%$'\t'*}" "${text#*$'\t'}"
    done
    printf '.RE\n'
  fi
}

{
  printf '[SYNOPSIS]\n'
  printf '.B signctl\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fICOMMAND OPTIONS\\fR]\n.br\n'
  printf '.B signctl\n\\fICOMMAND\\fR \\fB\\-\\-help\\fR\n\n'
  group=
  while IFS=$'\t' read -r kind text rest; do
    case $kind in
      H)
        group=$text
        if [[ $group == Options ]]; then
          printf '[=OPTIONS]\nThese stand before or after the command.\n'
        elif [[ $group != Positionals ]]; then
          [[ -n ${commands_begun:-} ]] || printf '\n[COMMANDS]\n%s\n' \
            "Each command also takes \\fB\\-h\\fR, \\fB\\-\\-help\\fR: its own help."
          commands_begun=1
          roff "$group"
          printf '.SS "%s"\n' "$REPLY"
        fi
        ;;
      E)
        if [[ $group == Options ]]; then
          entry "$text" "$rest"
        else
          subcommand "$text" "$rest"
        fi
        ;;
    esac
  done < <("$signctl" --help | parse)
} >"$output.tmp"
mv "$output.tmp" "$output"
