#!/usr/bin/env bash
# Keeps the layer order true: every quoted include of a source folder names a folder at or below
# its own layer. The order, bottom to top, is written in the README; this is its one copy in code.
# Prints each offending include and exits 1 when there is one.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# What each folder may include, besides itself. App/Config is the bottom (everything may read the
# build-time settings); the rest of App/ is start-up and the main loop, at the top.
allowed_for() {
  case "$1" in
    App/Config/*) echo "App/Config/" ;;
    foundation/*) echo "App/Config/ foundation/" ;;
    graphics/*) echo "App/Config/ foundation/ graphics/" ;;
    domain/*) echo "App/Config/ foundation/ graphics/ domain/" ;;
    services/*) echo "App/Config/ foundation/ graphics/ domain/ services/" ;;
    ui/*) echo "App/Config/ foundation/ graphics/ ui/" ;;
    main/*) echo "App/Config/ foundation/ graphics/ domain/ services/ ui/ main/" ;;
    App/*) echo "App/ foundation/ graphics/ domain/ services/ ui/ main/" ;;
    # The icon maker draws the program's mark with the program's own shapes and palette.
    Tools/AppIcon/*) echo "App/Config/ foundation/ graphics/ ui/ main/ Tools/" ;;
    Tools/*) echo "App/Config/ foundation/ Tools/" ;;
  esac
}

failed=0
while IFS= read -r file; do
  allowed=$(allowed_for "$file")
  while IFS= read -r line; do
    number=${line%%:*}
    target=${line#*:}
    target=${target#*\"}
    target=${target%%\"*}
    ok=0
    for prefix in $allowed; do
      case "$target" in
        "$prefix"*) ok=1 ;;
      esac
    done
    if [ $ok -eq 0 ]; then
      echo "$file:$number: includes \"$target\", above its layer (or not a path from the source root)"
      failed=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(find App foundation graphics domain services ui main Tools -type f \
           \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.inl' \) 2>/dev/null | sort)

if [ $failed -ne 0 ]; then
  echo "Layer order broken: see the README's Layout." >&2
fi
exit $failed
