#!/usr/bin/env bash
# Checks the shape of the sources, then configures, builds and runs every
# test twice: as built normally and built with AddressSanitizer and
# UndefinedBehaviorSanitizer. Everything it says goes to standard output;
# the last line is the overall count, and the exit status is 0 only when
# nothing failed.
set -uo pipefail
cd "$(dirname "$0")"

mapfile -t wanted < <(grep -v -E '^\s*(#|$)' debian-packages.txt)
missing=()
for package in "${wanted[@]}"; do
	dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' \
		|| missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
	if [ "$(id -u)" -eq 0 ]; then
		echo "test.sh: installing ${missing[*]}"
		export DEBIAN_FRONTEND=noninteractive
		apt-get install -y "${missing[@]}" </dev/null >/dev/null \
			|| { apt-get update >/dev/null \
				&& apt-get install -y "${missing[@]}" </dev/null >/dev/null; } \
			|| { echo "test.sh: cannot install ${missing[*]}"; exit 1; }
	else
		echo "test.sh: missing packages; run:"
		echo "  sudo apt-get install -y ${missing[*]}"
		exit 1
	fi
fi

jobs=$(nproc 2>/dev/null || echo 2)
failed=0
shape=""

echo "== Format"
mapfile -t sources < <(git ls-files -- '*.cpp' '*.h' '*.c' 2>/dev/null)
if [ ${#sources[@]} -eq 0 ]; then
	echo "not a git checkout: the format check needs git's file list"
	shape="format not checked; "
	failed=1
elif ! report=$(clang-format --dry-run -Werror "${sources[@]}" 2>&1); then
	grep -E ': (error|warning):' <<<"$report" | head -n 40
	echo "out of shape; run: clang-format -i \$(git ls-files '*.cpp' '*.h' '*.c')"
	shape="sources out of shape; "
	failed=1
else
	echo "${#sources[@]} files in shape"
fi

# What one suite came to: "N passed, N failed[, N skipped (REASON; ...)]".
declare -A summary
declare -A counts

# Reads ctest's log of the last run: every skipped test with the first line
# of the reason it gave.
skip_reasons() {
	awk '
		/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
		seen { print name ": " $0; seen = 0 }
		/: Skipped$/ { seen = 1 }
	' "$1/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u
}

run_suite() {
	local name=$1 dir=$2
	shift 2
	local log="$dir/test-run.log"
	mkdir -p "$dir"
	if ! { cmake -S . -B "$dir" -G Ninja -DTEXTWEND_WERROR=ON "$@" \
			&& cmake --build "$dir" -j "$jobs"; } >"$log" 2>&1; then
		tail -n 60 "$log"
		echo "$name: the build failed (all of it in $log)"
		summary[$name]="build failed"
		counts[$name]="0 0 0"
		failed=1
		return
	fi
	# One more try for a test that fails once: the X server tests can lose a
	# race on a loaded machine. A test that fails twice fails the run.
	ctest --test-dir "$dir" --output-on-failure -j "$jobs" \
		--repeat until-pass:2 >"$log" 2>&1
	local status=$?
	# ctest lists every test; show the failures in full and its summary.
	if [ $status -ne 0 ]; then
		grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* (Passed|Skipped)' "$log"
		failed=1
	else
		sed -n '/tests passed/,$p' "$log" | grep -v -E '^\s*$'
	fi
	local total failures skipped
	total=$(sed -n -E 's/.* tests failed out of ([0-9]+).*/\1/p' "$log" | tail -n 1)
	failures=$(sed -n -E 's/.* ([0-9]+) tests failed out of.*/\1/p' "$log" | tail -n 1)
	skipped=$(grep -c -E '^\s*[0-9]+ - .* \(Skipped\)$' "$log")
	if [ -z "$total" ] || [ -z "$failures" ]; then
		echo "$name: ctest gave no summary (all of it in $log)"
		total=0 failures=1 skipped=0
		failed=1
	fi
	local passed=$((total - failures - skipped))
	counts[$name]="$passed $failures $skipped"
	local line="$passed passed, $failures failed"
	if [ "$skipped" -gt 0 ]; then
		local reasons
		reasons=$(skip_reasons "$dir" | paste -s -d ';' | sed 's/;/; /g')
		line+=", $skipped skipped (${reasons:-see $log})"
	fi
	summary[$name]=$line
}

echo "== Tests"
run_suite plain build

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite sanitizers build-asan -DTEXTWEND_SANITIZE=ON -DTEXTWEND_BENCH=OFF

echo "== Summary"
echo "${shape}Tests: ${summary[plain]}; with sanitizers: ${summary[sanitizers]}"
read -r p1 f1 s1 <<<"${counts[plain]}"
read -r p2 f2 s2 <<<"${counts[sanitizers]}"
# A failed format check or build counts as one failure of its own.
extra=0
[ -n "$shape" ] && extra=$((extra + 1))
[ "${summary[plain]}" = "build failed" ] && extra=$((extra + 1))
[ "${summary[sanitizers]}" = "build failed" ] && extra=$((extra + 1))
line="$((p1 + p2)) passed, $((f1 + f2 + extra)) failed"
[ $((s1 + s2)) -gt 0 ] && line+=", $((s1 + s2)) skipped"
echo "$line"
exit $failed
