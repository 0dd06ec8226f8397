#!/usr/bin/env bash
# Checks that includes read bottom-up: each folder of the program includes only from
# itself and the folders to its left in the order below. Prints every include that
# reaches to the right and exits 1 when there is one. ROOT defaults to the source tree.
#   bash tools/check_layers.sh [ROOT]
root=${1:-"$(dirname "$0")/.."}
cd "$root" || exit 2
order=(platform core io engine ui wizards app)
rank() {
  local i
  for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
bad=0
for dir in "${order[@]}"; do
  [ -d "$dir" ] || continue
  r=$(rank "$dir")
  while IFS= read -r hit; do
    file=${hit%%:*}
    text=${hit#*:}
    folder=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    if [ "$(rank "$folder")" -gt "$r" ]; then
      echo "$file includes from $folder/: $text"
      bad=1
    fi
  done < <(grep -H '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]*/' "$dir"/*.cpp "$dir"/*.h 2>/dev/null)
done
exit $bad
