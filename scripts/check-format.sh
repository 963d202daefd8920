#!/usr/bin/env bash
# Checks that every C++ file of ours follows the tree's one .clang-format:
#   scripts/check-format.sh          lists the files that do not, and fails if there is any;
#   scripts/check-format.sh --fix    formats them in place.
# The files are those git knows or would add (tracked, or new and not ignored), so build folders
# never count. Nothing else is left out: add generated or third-party sources to `excluded` below.
# One clang-format version for everyone (Debian 12's), since versions format differently.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
formatter=clang-format-14
excluded='^$' # extended regex on paths relative to the tree; none today

command -v "$formatter" >/dev/null || { echo "format: $formatter is missing (scripts/setup.sh installs it)"; exit 1; }
cd "$here"
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' '*.hpp' '*.cc' |
    grep -Ev "$excluded" | sort -u)
existing=()
for f in "${files[@]}"; do [ -f "$f" ] && existing+=("$f"); done # not those deleted but not yet committed
[ ${#existing[@]} -gt 0 ] || { echo "format: no C++ files found"; exit 1; }

if [ "${1:-}" = "--fix" ]; then
    "$formatter" -i --style=file "${existing[@]}"
    echo "format: ${#existing[@]} files formatted"
    exit 0
fi

# One run over all files; each file that needs changes is named in its diagnostics. Without
# --Werror the run fails only when clang-format itself cannot work (a bad style file, say).
report="$("$formatter" --style=file --dry-run "${existing[@]}" 2>&1)" || {
    printf '%s\n' "$report" | tail -n 20
    echo "format: $formatter failed"
    exit 1
}
mapfile -t bad < <(printf '%s\n' "$report" |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#bad[@]} -gt 0 ]; then
    printf '  %s\n' "${bad[@]}"
    echo "format: ${#bad[@]} of ${#existing[@]} files do not follow .clang-format (scripts/check-format.sh --fix formats them)"
    exit 1
fi
echo "format: all ${#existing[@]} files follow .clang-format"
