#!/usr/bin/env bash
# Configures, builds and runs every test, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

mapfile -t wanted < <(grep -v -E '^\s*(#|$)' debian-packages.txt)
missing=()
for package in "${wanted[@]}"; do
	dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' \
		|| missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
	if [ "$(id -u)" -eq 0 ]; then
		echo "test.sh: installing ${missing[*]}" >&2
		export DEBIAN_FRONTEND=noninteractive
		apt-get install -y "${missing[@]}" </dev/null >&2 \
			|| { apt-get update >&2 && apt-get install -y "${missing[@]}" </dev/null >&2; }
	else
		echo "test.sh: missing packages; run:" >&2
		echo "  sudo apt-get install -y ${missing[*]}" >&2
		exit 1
	fi
fi

jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {
	local dir=$1
	shift
	cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
	cmake --build "$dir" -j "$jobs"
	ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== Tests" >&2
run_suite build

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer" >&2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DTEXTWEND_SANITIZE=ON -DTEXTWEND_BENCH=OFF
