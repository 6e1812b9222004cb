#!/bin/bash
# Static analysis of the program's sources; fails on any finding. Findings
# that are wrong are suppressed one by one in cppcheck-suppressions.txt,
# each with its reason.
# usage: cppcheck.sh SOURCE-ROOT WORK-DIR
set -u
root=$1; work=$2
mkdir -p "$work"
command -v cppcheck >/dev/null || { echo "cppcheck is not installed (scripts/deps.sh)"; exit 1; }
cppcheck --enable=warning,style,performance,portability --std=c++17 --language=c++ \
    --platform=win32A -D_WIN32 -D__GNUC__ -I "$root/src" -I "$root/res" \
    --inline-suppr --suppressions-list="$root/tests/host/cppcheck-suppressions.txt" \
    --error-exitcode=1 --quiet --cppcheck-build-dir="$work" \
    --template='{file}:{line}: {severity} ({id}): {message}' \
    "$root/src"
status=$?
if [ $status -ne 0 ]; then echo "cppcheck: findings above"; fi
exit $status
