#!/usr/bin/env bash
# A tree of old files as a copied disk holds them (bench/make_tree.py:
# FILES files, 100,000 unless said otherwise, ten to a folder; a third
# DOS or Atari letters, a third UTF-8 or ASCII, a third programs and
# pictures), and in one run, RUNS times each (3) in turns:
#
#   cp -a of the tree followed by sync, and find -type f -exec cat {} +
#   (one pass over the data), the tools people would use;
#   Textwend-Check on the tree;
#   Textwend-Folder on a copy of it, Textwend on the same letters of
#   another copy given directly, and Textwend-Folder-Undo;
#
# with the median time of each, the ratios and the peak memory. Then 3000
# of the letters (LETTERS) converted by bench/convert_files, the conversion
# alone, and through tracker-run: what the host and the add-on add to
# each file.
#
# Nothing is removed before the end: ext4 passes over the inodes freed in
# the last minutes when it makes a new file, and a run after a removal of
# thousands of files would pay for that. WORK=folder works there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
files=${FILES:-100000}
runs=${RUNS:-3}
letters=${LETTERS:-3000}

if [ ! -f "$build/build.ninja" ]; then
	cmake -S "$here" -B "$build" -G Ninja >&2
fi
cmake --build "$build" --target tracker-run Textwend Textwend-Folder \
	Textwend-Folder-Undo Textwend-Check convert_files >&2
host=$build/bin/tracker-run
images=$build/bin
convert=$build/bench/convert_files

work=$(mktemp -d "${WORK:-$build}/tree-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 "$here/bench/make_tree.py" "$work/tree" --files "$files"
# The letters below the tree, and all its texts, as paths from its top.
for list in letters texts; do
	tr '\0' '\n' < "$work/tree.$list" | sed "s|^$work/tree/||" \
		| tr '\n' '\0' > "$work/$list.list"
done
changed=$(tr -cd '\0' < "$work/letters.list" | wc -c)
texts=$(tr -cd '\0' < "$work/texts.list" | wc -c)

# Runs a command once, its output thrown away; prints its wall time in
# microseconds, its peak memory in KiB and its processor time (user and
# system) in centiseconds.
measure() {
	sync
	local start end
	start=$(date +%s%N)
	/usr/bin/time -f '%M %U %S' -o "$work/rss" "$@" > /dev/null 2>&1 || true
	end=$(date +%s%N)
	echo "$(( (end - start) / 1000 )) $(awk '{ printf "%d %d", $1, ($2 + $3) * 100 }' "$work/rss")"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A times memory
note() { times[$1]+="$2 "; if [ "${memory[$1]:-0}" -lt "$3" ]; then memory[$1]=$3; fi; }
for run in $(seq "$runs"); do
	read -r t m c < <(measure sh -c 'cp -a -- "$1" "$2" && sync -f "$2"' sh "$work/tree" "$work/folder-$run")
	note copy "$t" "$m"
	read -r t m c < <(measure sh -c 'find "$1" -type f -exec cat {} +' sh "$work/tree")
	note cat "$t" "$m"
	read -r t m c < <(measure "$host" "$images/Textwend-Check" "$work/tree")
	note check "$t" "$m"
	read -r t m c < <(measure "$host" "$images/Textwend-Folder" "$work/folder-$run")
	note folder "$t" "$m"
	# The same texts given directly, in one selection: all of them, and
	# the letters alone, which are what the tree's conversion changes.
	for list in texts letters; do
		cp -a "$work/tree" "$work/$list-$run"
		read -r t m c < <(measure sh -c 'cd "$1" && xargs -0 -s 1900000 "$2" "$3" < "$4"' sh \
			"$work/$list-$run" "$host" "$images/Textwend" "$work/$list.list")
		note "$list" "$t" "$m"
	done
	read -r t m c < <(measure "$host" "$images/Textwend-Folder-Undo" "$work/folder-$run")
	note undo "$t" "$m"
done

# The tree is back as it was, and the direct run converted what the tree's
# did.
if ! diff -r -q "$work/tree" "$work/folder-1" > /dev/null; then
	echo "tree.sh: Textwend-Folder-Undo did not bring the tree back" >&2
	exit 1
fi

med() { echo "${times[$1]}" | tr ' ' '\n' | grep . | median; }
copy=$(med copy)
cat_time=$(med cat)
bytes=$(du -sb "$work/tree" | cut -f1)
folders=$(find "$work/tree" -mindepth 1 -type d | wc -l)
printf 'tree: %d files in %d folders, %d MiB; %d texts, of them %d letters in DOS or Atari\n' \
	"$files" "$folders" $((bytes / 1048576)) "$texts" "$changed"
printf '%-34s %10s %12s %10s %9s\n' tool "median s" "x cp -a+sync" "x find+cat" "peak MiB"
row() {
	awk -v name="$1" -v t="$(med "$2")" -v c="$copy" -v k="$cat_time" -v m="${memory[$2]}" \
		'BEGIN { printf "%-34s %10.2f %12.2f %10.2f %9.1f\n", name, t / 1e6, t / c, t / k, m / 1024 }'
}
row "cp -a + sync" copy
row "find -type f -exec cat {} +" cat
row "Textwend-Check" check
row "Textwend-Folder" folder
row "Textwend on the same texts" texts
row "Textwend on the letters alone" letters
row "Textwend-Folder-Undo" undo
awk -v c="$(med check)" -v k="$cat_time" -v f="$(med folder)" -v d="$(med texts)" -v l="$(med letters)" \
	'BEGIN { printf "Textwend-Check: %.2f x find -exec cat (goal 1.5); Textwend-Folder: %.2f x Textwend on the same texts (goal 1.2), %.2f x on the letters alone\n", c / k, f / d, f / l }'
peak=0
for tool in check folder undo; do
	if [ "${memory[$tool]}" -gt "$peak" ]; then peak=${memory[$tool]}; fi
done
awk -v m="$peak" 'BEGIN { printf "peak memory of the images of a tree: %.1f MiB (goal 64)\n", m / 1024 }'

# What the host and the add-on add to each file: the conversion alone
# against the same letters through tracker-run.
if [ "$letters" -eq 0 ]; then exit 0; fi
mkdir "$work/letters"
tr '\0' '\n' < "$work/tree.letters" | awk -v n="$letters" 'NR <= n' | {
	n=0
	while IFS= read -r path; do
		n=$((n + 1))
		cp "$path" "$work/letters/letter-$n.txt"
	done
}
for run in $(seq "$runs"); do
	cp -r "$work/letters" "$work/alone-$run"
	cp -r "$work/letters" "$work/hosted-$run"
done
for run in $(seq "$runs"); do
	read -r t m c < <(measure sh -c 'cd "$1" && "$2" *.txt' sh "$work/alone-$run" "$convert")
	note alone "$t" "$m"
	note alonecpu "$c" 0
	read -r t m c < <(measure sh -c 'cd "$1" && "$2" "$3" *.txt' sh "$work/hosted-$run" "$host" "$images/Textwend")
	note hosted "$t" "$m"
	note hostedcpu "$c" 0
done
awk -v a="$(med alone)" -v h="$(med hosted)" -v ac="$(med alonecpu)" -v hc="$(med hostedcpu)" -v n="$letters" \
	'BEGIN { printf "%d letters: convert_files %.1f ms (processor %d ms), tracker-run Textwend %.1f ms (processor %d ms): the host and the add-on add %.0f %% (processor %.0f %%)\n", n, a / 1000, ac * 10, h / 1000, hc * 10, (h / a - 1) * 100, (hc / ac - 1) * 100 }'
