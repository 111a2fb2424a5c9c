#!/usr/bin/env bash
# Builds the Debian package from the build folder given, unpacks it into a
# scratch root and runs what it installed there: the CLI, its manual page,
# the program's --version and the bash completion. lintian, where installed,
# must report no errors.
set -euo pipefail
build="$1"
command -v cpack >/dev/null || { echo "cpack not found"; exit 1; }
if ! command -v dpkg-shlibdeps >/dev/null; then
  echo "dpkg-shlibdeps missing (Debian's dpkg-dev): skipping"
  exit 77
fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; exit 1; }
deb="$(ls "$scratch"/out/vesperon_*.deb)"
name="$(basename "$deb")"
[[ $name =~ ^vesperon_[0-9]+\.[0-9]+\.[0-9]+_[a-z0-9]+\.deb$ ]] || { echo "unexpected name $name"; exit 1; }

# Dependencies come from the binaries: the C++ runtime, Qt, SQLite, FFmpeg.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for lib in libc6 libstdc++6 libsqlite3-0; do
  [[ $depends == *"$lib"* ]] || { echo "Depends lacks $lib"; exit 1; }
done

# Everything lies below /usr: nothing of the build machine's paths.
outside="$(dpkg -c "$deb" | awk '{print $6}' | grep -v -e '^\./$' -e '^\./usr/' || true)"
[ -z "$outside" ] || { echo "files outside /usr:"; echo "$outside"; exit 1; }

root="$scratch/root"
dpkg -x "$deb" "$root"
libdir="$(dirname "$(find "$root/usr/lib" -name 'libkelmsp.so*' | head -1)")"
export LD_LIBRARY_PATH="$libdir"
version="$("$root/usr/bin/vesperon-cli" --version)"
echo "$version"
[[ $version == "vesperon-cli "* ]] || { echo "vesperon-cli --version: $version"; exit 1; }
"$root/usr/bin/vesperon-cli" demo "$scratch/demo.wav" >/dev/null
"$root/usr/bin/vesperon-cli" info "$scratch/demo.wav" | grep -q "384000 Hz" || { echo "info of the demo failed"; exit 1; }
if [ -x "$root/usr/bin/vesperon" ]; then
  v="$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/vesperon" --version)"
  [[ $v == "vesperon "* ]] || { echo "vesperon --version: $v"; exit 1; }
fi

# The manual pages render, and vesperon-cli(1) has a section per command.
for page in vesperon-cli vesperon; do
  [ -f "$root/usr/share/man/man1/$page.1.gz" ] || { [ $page = vesperon ] && [ ! -x "$root/usr/bin/vesperon" ] && continue; echo "no $page(1)"; exit 1; }
done
if command -v man >/dev/null; then
  text="$(MANWIDTH=100 man -l "$root/usr/share/man/man1/vesperon-cli.1.gz" 2>/dev/null | col -b)"
  for cmd in $("$root/usr/bin/vesperon-cli" --help | awk '/^  [a-z][a-z-]+ /{print $1}'); do
    grep -q "$cmd" <<<"$text" || { echo "vesperon-cli(1) lacks $cmd"; exit 1; }
  done
fi
[ -f "$root/usr/share/doc/vesperon/copyright" ] || { echo "no copyright file"; exit 1; }

# Completion of commands, a command's options and a project's actions.
if [ -f /usr/share/bash-completion/bash_completion ]; then
  complete_words() {
    PATH="$root/usr/bin:$PATH" bash -c '
      source /usr/share/bash-completion/bash_completion
      source "$1"; shift
      COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      _vesperon_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/vesperon-cli" "$@"
  }
  complete_words vesperon-cli ca | grep -qx calls || { echo "completion: no calls for ca"; exit 1; }
  complete_words vesperon-cli calls --sn | grep -qx -- --snr || { echo "completion: no --snr"; exit 1; }
  complete_words vesperon-cli project me | grep -qx merge || complete_words vesperon-cli project st | grep -qx status ||
    { echo "completion: no project actions"; exit 1; }
fi

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 || true
  cat "$scratch/lintian.log"
  if grep -q '^E:' "$scratch/lintian.log"; then
    echo "lintian reports errors"
    exit 1
  fi
fi
echo "package ok: $name"
