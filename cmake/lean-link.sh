#!/bin/bash
# Link launcher of a release program: drops the functions nothing calls.
#
# On x86_64 the linker's default script keeps every .pdata and .xdata section (the unwind tables),
# and each of them points at its function, so --gc-sections can drop no function of an object file
# the program uses. This links twice: first with those tables collectable, only to learn which
# functions of our own objects nothing reaches; then the real link with those functions and their
# unwind tables discarded. Runtime libraries are left alone (their handlers are reached only
# through the tables). Anything unexpected falls back to the plain link.
set -u
linker_cmd=("$@")
out=""
for ((i = 0; i < ${#linker_cmd[@]}; i++)); do
  [[ ${linker_cmd[i]} == -o ]] && out=${linker_cmd[i + 1]:-}
done
# Only the compiler driver's link of an executable; the archive steps run as they are.
case "${linker_cmd[0]##*/}" in *g++*|*gcc*) ;; *) exec "$@" ;; esac
[[ -n $out ]] || exec "$@"

work=$(mktemp -d) || exec "$@"
trap 'rm -rf "$work"' EXIT
ld=$("${linker_cmd[0]}" -print-prog-name=ld)
# The default script with the unwind tables no longer kept.
"$ld" --verbose 2>/dev/null | sed -n '/^======/,/^======/p' | sed '1d;$d' \
  | sed 's/KEEP *( *\*(\.pdata\*) *)/*(.pdata*)/; s/KEEP *( *\*(\.xdata\*) *)/*(.xdata*)/' >"$work/probe.ld"
if ! grep -q '^ *\*(\.pdata\*)' "$work/probe.ld"; then
  "$@"; exit $?   # a script that keeps no unwind tables (32-bit): nothing to learn
fi

probe=()
for ((i = 0; i < ${#linker_cmd[@]}; i++)); do
  if [[ ${linker_cmd[i]} == -o ]]; then probe+=(-o "$work/probe.exe"); ((i++)); continue; fi
  probe+=("${linker_cmd[i]}")
done
if ! "${probe[@]}" -Wl,-T,"$work/probe.ld" -Wl,--print-gc-sections >"$work/probe.txt" 2>&1; then
  : # the probe's truncated relocations of the runtime's handlers are expected; its list is what counts
fi
# Each dead function named with its object ("archive:member"): a function the compiler made in
# several objects (an inline one, a template's) is one used copy and unused others, and only the
# unused copies may go. The runtime libraries are left whole, and so are the objects that stand in
# for parts of the runtime (the terminate handler, the throwing helpers): the runtime reaches them
# from code that only the unwind tables keep.
grep -o "removing unused section '\.text\$[A-Za-z0-9_.$]*' in file '[A-Za-z0-9_./+-]*([A-Za-z0-9_.+-]*)'" "$work/probe.txt" \
  | grep -v -e "in file '[^']*/gcc/" -e "in file '[^']*-mingw32/lib/" -e "terminate\.cpp" -e "lean_throw\.cpp" \
  | sed "s/^removing unused section '\.text\\$\([^']*\)' in file '\([^'(]*\)(\([^)]*\))'$/*\2:\3 \1/" \
  | sed 's|^\*[^ ]*/|*|' | sort -u >"$work/dead.txt"
if [[ ! -s $work/dead.txt ]]; then "$@"; exit $?; fi
{
  echo 'SECTIONS'
  echo '{'
  echo '  /DISCARD/ : {'
  while read -r file name; do echo "    $file(.text\$$name .pdata\$$name .xdata\$$name)"; done <"$work/dead.txt"
  echo '  }'
  echo '}'
  echo 'INSERT BEFORE .text;'
} >"$work/discard.ld"
if "$@" -Wl,-T,"$work/discard.ld"; then exit 0; fi
echo "lean-link: the link without unused functions failed; linking as usual" >&2
"$@"
