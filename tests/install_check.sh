#!/usr/bin/env bash
# melvir as it is installed: the manual page lints clean, cmake --install
# puts every file in place, the bash completion offers what it should, and
# the Debian package passes lintian, installs, works and is removed again.
#
#   bash tests/install_check.sh NATIVE_BUILD
#
# NATIVE_BUILD is a complete native build (cpack packages what it built).
# Installing the package needs root (dpkg -i); without it, it says it is
# skipped.
set -euo pipefail

if (( $# != 1 )); then
  echo "usage: bash tests/install_check.sh NATIVE_BUILD" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIPPED: $*"; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || fail "no project version in $build/CMakeCache.txt"
image=$build/sample/sample.img
recordings=$("$build/cli/melvir" list "$image" | wc -l)

# ---- The manual page: mandoc exits 2 on a warning; groff prints its own.
page=$root/cli/melvir.1
out=$(mandoc -T lint -W warning "$page" 2>&1) || fail "mandoc -T lint: $out"
if command -v groff > /dev/null; then
  out=$(groff -ww -z -mdoc "$page" 2>&1)
  [[ -z $out ]] || fail "groff -ww: $out"
fi

# ---- cmake --install into a fresh prefix.
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log" || fail "cmake --install: $(cat "$work/install.log")"
for file in bin/melvir share/man/man1/melvir.1 share/bash-completion/completions/melvir share/doc/melvir/README.md; do
  [[ -s $prefix/$file ]] || fail "cmake --install left out $file"
done
# The version on the first line, then the copyright and the licence.
version_says() { [[ ${1%%$'\n'*} == "melvir $version" && $1 == *"GNU GPL version 2 or later"* ]]; }
out=$("$prefix/bin/melvir" --version 2>&1) || true
version_says "$out" || fail "installed melvir --version: '$out', not 'melvir $version' and its licence"

# ---- The completion, sourced on its own and called as bash calls it.
# A wrapper stands for melvir on the line and logs every run, so that a
# device on the line is seen never to be listed.
mkdir -p "$work/completion/folder"
touch "$work/completion/file"
wrapper=$work/melvir
printf '#!/bin/sh\necho "$@" >> "%s"\nexec "%s" "$@"\n' "$work/runs" "$build/cli/melvir" > "$wrapper"
chmod +x "$wrapper"
device=$work/blockdev
mknod "$device" b 7 0 2> /dev/null || device=
numbers=$(seq -s ' ' 1 "$recordings")

# expect WANTED CWORD WORD...: every word of WANTED offered ("" for none).
expect() {
  local wanted=$1; shift
  local got word
  got=$(complete_line "$@")
  if [[ -z $wanted ]]; then
    [[ -z ${got// /} ]] || fail "completing word $1 of 'melvir ${*:2}': offered '$got', wanted nothing"
    return
  fi
  for word in $wanted; do
    [[ " $got " == *" $word "* ]] || fail "completing word $1 of 'melvir ${*:2}': '$word' not among '$got'"
  done
}
# refuse UNWANTED CWORD WORD...: no word of UNWANTED offered.
refuse() {
  local unwanted=$1; shift
  local got word
  got=$(complete_line "$@")
  for word in $unwanted; do
    [[ " $got " != *" $word "* ]] || fail "completing word $1 of 'melvir ${*:2}': '$word' offered"
  done
}
# complete_line CWORD WORD...: the offers for word CWORD of "melvir WORD..."
# (the wrapper is word 0).
complete_line() {
  local cword=$1; shift
  (cd "$work/completion" && bash -c '
    source "$1"; shift
    COMP_CWORD=$1; shift
    COMP_WORDS=("$@")
    _melvir
    if (( ${#COMPREPLY[@]} )); then printf "%s " "${COMPREPLY[@]}"; fi' \
    _ "$prefix/share/bash-completion/completions/melvir" "$cword" "$wrapper" "$@")
}

expect "list info extract help --version" 1 ""
expect "list info extract" 2 help ""
expect "-n --all --name -o -d --force --charset --trace --trace-file --quiet --help" 2 extract -
expect "--json --charset --trace --quiet" 2 list --
refuse "--force --all -n" 2 list -
expect "ISO-8859-1 ISO-8859-15 CP1252 UTF-8 dvb" 3 extract --charset ""
expect "folder" 3 extract -d ""
refuse "file" 3 extract -d ""
expect "file folder -" 3 extract -o ""
expect "$numbers" 3 extract -n "" "$image"
expect "$numbers" 4 extract "$image" -n ""
expect "2,1 2,$recordings" 3 extract -n 2, "$image"
[[ -s $work/runs ]] || fail "completing -n with an image on the line did not list it"
rm -f "$work/runs"
expect "" 3 extract -n "" /dev/null
expect "" 3 extract -n "" "$image" /dev/null
if [[ -n $device ]]; then
  expect "" 3 extract -n "" "$device"
else
  skip "-n with a block device on the line: cannot make a device node here (mknod needs root)"
fi
[[ ! -e $work/runs ]] || fail "completing -n ran melvir with a device on the line: $(cat "$work/runs")"

# ---- The Debian package: built, checked by lintian, installed, used, removed.
(cd "$build" && cpack -G DEB -B "$work/package" > "$work/cpack.log" 2>&1) || fail "cpack -G DEB: $(cat "$work/cpack.log")"
deb=$(find "$work/package" -maxdepth 1 -name "melvir_${version}_*.deb" | head -n 1)
if [[ -z $deb ]]; then
  fail "cpack -G DEB made no melvir_${version}_*.deb"
else
  # lintian's own exit status counts errors only: every E: or W: line fails.
  if ! command -v lintian > /dev/null; then
    skip "lintian on the package: lintian is not installed (tests/run-all installs it)"
  elif ! lintian --fail-on none "$deb" > "$work/lintian.log" 2> "$work/lintian.err"; then
    fail "lintian could not check $deb: $(cat "$work/lintian.err")"
  else
    tags=$(grep -E '^[EW]: ' "$work/lintian.log" || true)
    [[ -z $tags ]] || fail "lintian on $(basename "$deb"):"$'\n'"$tags"
  fi
  copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/melvir/copyright) ||
    fail "the package holds no /usr/share/doc/melvir/copyright"
  [[ $copyright == *$'\nLicense: GPL-2+\n'* ]] || fail "the package's copyright file does not give the GPL-2+"
  fields=$(dpkg-deb -f "$deb" Recommends Suggests)
  [[ $fields == *"Suggests: gddrescue"* ]] || fail "the package does not suggest gddrescue: '$fields'"
  if grep -q '^FUSE3_FOUND:INTERNAL=1$' "$build/CMakeCache.txt"; then
    [[ $fields == *"Recommends: fuse3"* ]] || fail "the package has the mount but does not recommend fuse3: '$fields'"
  fi
  if (( EUID != 0 )); then
    skip "installing the Debian package: dpkg -i needs root"
  elif dpkg-query -W -f='${Status}' melvir 2> /dev/null | grep -q 'install ok installed'; then
    skip "installing the Debian package: a melvir package is installed on this machine already"
  else
    # dpkg waits for nobody: retry while another installation holds its lock.
    for _ in $(seq 30); do
      if dpkg -i "$deb" > "$work/dpkg.log" 2>&1; then break; fi
      grep -q 'lock' "$work/dpkg.log" || break
      sleep 2
    done
    if ! dpkg-query -W -f='${Status}' melvir 2> /dev/null | grep -q 'install ok installed'; then
      fail "dpkg -i $deb: $(cat "$work/dpkg.log")"
    else
      out=$(/usr/bin/melvir --version 2>&1) || true
      version_says "$out" || fail "packaged melvir --version: '$out'"
      if grep -qs 'path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
        skip "man -w melvir: this machine's dpkg leaves out manual pages (/etc/dpkg/dpkg.cfg.d)"
      else
        man -w melvir > /dev/null 2>&1 || fail "man -w melvir finds no page after dpkg -i"
      fi
      loaded=$(bash -c 'source /usr/share/bash-completion/bash_completion && __load_completion melvir && complete -p melvir' 2>&1) ||
        fail "bash-completion does not load the packaged completion: $loaded"
      dpkg -r melvir > "$work/dpkg.log" 2>&1 || fail "dpkg -r melvir: $(cat "$work/dpkg.log")"
      [[ ! -e /usr/bin/melvir ]] || fail "/usr/bin/melvir is still there after dpkg -r"
    fi
  fi
fi

if (( failures )); then
  echo "install_check.sh: $failures failure(s)"
  exit 1
fi
echo "install_check.sh: all checks passed"
