#!/usr/bin/env bash
# Fails on an include that points up or sideways in the layer table:
#   platform < core < vm < native subsystems < host
# A native subsystem sees only itself and the layers below it; the others
# reach it through interfaces declared lower down (core/, vm/). Only
# platform/ includes the system's and the libraries' own headers.
set -euo pipefail
cd "$(dirname "$0")/.."

natives="compiler files stdlib graphics sound input net system"
declare -A allowed=(
  [platform]="platform"
  [core]="core platform"
  [vm]="vm core platform"
  [host]="host $natives vm core platform"
)
for n in $natives; do allowed[$n]="$n vm core platform"; done

# Headers that only the platform layer may include. The one exception: the
# translator's code generator (vm/translator*.cpp) drives asmjit itself, as
# the assembler is its whole business; memory for the code comes from
# platform/executable_memory.h.
foreign='^(SDL|AL/|fluidsynth|ft2build|freetype|fontconfig|libav|libsw|vorbis|ogg/|unistd\.h|sys/|dlfcn\.h|pthread\.h|fcntl\.h|dirent\.h|netinet/|arpa/|netdb\.h|poll\.h|signal\.h|spawn\.h|iconv\.h|X11/|png\.h|asmjit/|termios\.h|pwd\.h)'

bad=0
for dir in "${!allowed[@]}"; do
  [ -d "$dir" ] || continue
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$text")
    # include/ holds the headers shipped to authors: any layer may use them.
    [ "$target" = include ] && continue
    if ! grep -qw -- "$target" <<<"${allowed[$dir]}"; then
      echo "$file:$line: $dir/ may not include $target/ (${text#*#include })"
      bad=1
    fi
  done < <(grep -rnE '^#include "[a-z_]+/' "$dir" --include='*.cpp' --include='*.h' || true)
  [ "$dir" = platform ] && continue
  while IFS=: read -r file line text; do
    header=$(sed -E 's/.*#include <([^>]+)>.*/\1/' <<<"$text")
    if [[ "$header" == asmjit/* && "$file" == vm/translator*.cpp ]]; then continue; fi
    if grep -qE "$foreign" <<<"$header"; then
      echo "$file:$line: only platform/ may include <$header>"
      bad=1
    fi
  done < <(grep -rnE '^#include <' "$dir" --include='*.cpp' --include='*.h' || true)
done
[ $bad -eq 0 ] && echo "layers: every include points down"
exit $bad
