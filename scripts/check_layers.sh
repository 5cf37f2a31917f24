#!/usr/bin/env bash
# Fails when a source file includes a header from a folder above its own: the core's floors in
# order, then the two front ends, which see the core through ops/ (map and theme types pass
# through its headers) and never each other.
# Usage: check_layers.sh [SOURCE_ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

floors=(base map theme files fit ops)
declare -A rank
for i in "${!floors[@]}"; do rank[${floors[$i]}]=$i; done
# What each front end may include besides base, map, theme and ops.
declare -A frontEnd=([ui]="ui" [app]="app ui" [cli]="cli")
declare -A behindOps=([files]=1 [fit]=1)

status=0
while IFS=: read -r file _ line; do
  from=${file%%/*}
  to=$(sed -E 's/^#include "([^/"]+)\/.*/\1/' <<<"$line")
  [ "$to" = "$line" ] && continue
  ok=0
  if [ -n "${rank[$from]+x}" ]; then
    [ -n "${rank[$to]+x}" ] && [ "${rank[$to]}" -le "${rank[$from]}" ] && ok=1
  else
    [ -n "${rank[$to]+x}" ] && [ -z "${behindOps[$to]+x}" ] && ok=1
    for allowed in ${frontEnd[$from]}; do [ "$to" = "$allowed" ] && ok=1; done
  fi
  if [ $ok -eq 0 ]; then
    echo "$file: $line: $from may not include $to" >&2
    status=1
  fi
done < <(grep -rn --include='*.h' --include='*.cpp' '^#include "' \
           "${floors[@]/%/}" ui app cli 2>/dev/null || true)
exit $status
