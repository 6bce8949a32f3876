#!/usr/bin/env bash
# Fails, naming the files, when C++ sources in the tree differ from what clang-format makes
# of them with the project's .clang-format. Fix with: clang-format -i <files>
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang-format >/dev/null || { echo "format-check: clang-format is not installed" >&2; exit 2; }
differ=()
while IFS= read -r -d '' file; do
  clang-format --style=file "$file" | cmp -s - "$file" || differ+=("$file")
done < <(git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h')

if [ ${#differ[@]} -gt 0 ]; then
  echo "format-check: these files differ from clang-format's output:" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
