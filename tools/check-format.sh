#!/usr/bin/env bash
# Fails, naming each place, when a C++ file of the repository is not formatted as .clang-format says
# (`make format` fixes them).
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "formatting: $(git ls-files '*.cpp' '*.h' | wc -l) files checked"
