#!/usr/bin/env bash
# Fails when a source file includes from a folder further up the layer order.
cd "$(dirname "$0")/.."
order=(platform core io engine ui wizards app)
rank() { local i; for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }; done; echo -1; }
bad=0
for dir in "${order[@]}"; do
  r=$(rank "$dir")
  while IFS= read -r hit; do
    file=${hit%%:*}; rest=${hit#*:}; inc=$(sed -E 's/.*#include *"([^/"]+)\/.*/\1/' <<<"$rest")
    ir=$(rank "$inc")
    if [ "$ir" -gt "$r" ]; then echo "$file includes from $inc/: ${rest#*:}"; bad=1; fi
  done < <(grep -Hn '^[[:space:]]*#[[:space:]]*include *"[^/"]*/' "$dir"/*.cpp "$dir"/*.h 2>/dev/null)
done
exit $bad
