#!/usr/bin/env bash
# The house's layering, checked on the sources: a folder of src/ includes only its own headers and those
# of the layers below it (core <- dnssd <- devices <- capture <- photos, streaming <- evernote <- ui <- app;
# photos and streaming do not include each other), and only ui and app link or include Qt Widgets.
#   check-layers.sh SRC_DIR QTWIDGETS_INCLUDE_DIR
set -u
src=$1
widgets_headers=$2

rank() {
  case $1 in
    core) echo 0 ;; dnssd) echo 1 ;; devices) echo 2 ;; capture) echo 3 ;;
    photos|streaming) echo 4 ;; evernote) echo 5 ;; ui) echo 6 ;; app) echo 7 ;;
    *) echo "" ;;
  esac
}

failures=0
report() { echo "$1"; failures=$((failures + 1)); }

for dir in "$src"/*/; do
  layer=$(basename "$dir")
  own=$(rank "$layer")
  [[ -n "$own" ]] || { report "src/$layer is no known layer: give it a rank in $0"; continue; }
  # Includes name their folder: "capture/Frame.h".
  while IFS=: read -r file line included; do
    other=$(rank "$included")
    [[ -z "$other" || "$included" == "$layer" ]] && continue
    if (( other >= own )); then
      report "${file#"$src"/}:$line: $layer includes $included (a layer at or above its own)"
    fi
  done < <(grep -rnoE --include='*.h' --include='*.cpp' '^#include "[A-Za-z_]+/' "$dir" |
           sed -E 's/#include "([A-Za-z_]+)\/$/\1/')

  [[ "$layer" == ui || "$layer" == app ]] && continue
  while IFS= read -r hit; do
    report "${hit#"$src"/}: only ui and app link Qt Widgets"
  done < <(grep -rnE 'Widgets' --include='CMakeLists.txt' --include='*.cmake' "$dir")
  if [[ -d "$widgets_headers" ]]; then
    # Every header of the QtWidgets module, by the names classes are included with.
    while IFS= read -r hit; do
      name=$(sed -E 's/.*#include <(QtWidgets\/)?([A-Za-z]+)>.*/\2/' <<<"$hit")
      [[ -e "$widgets_headers/$name" ]] && report "${hit#"$src"/}: only ui and app include Qt Widgets"
    done < <(grep -rnE --include='*.h' --include='*.cpp' '^#include <(QtWidgets/)?Q[A-Za-z]+>' "$dir")
  fi
done

if (( failures > 0 )); then
  echo "$failures layering rule(s) broken"
  exit 1
fi
echo "layers kept"
