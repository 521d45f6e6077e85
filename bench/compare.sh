#!/usr/bin/env bash
# Converts a DOS text (code page 437, CR LF, 256 MiB unless SIZE_MIB says
# otherwise) and, in the same run, copies it with cp and cat and converts it
# with iconv. Prints the median time of each, the ratios to cp and cat and
# the peak memory. Then a batch of 3000 letters of 1 to 16 KiB (LETTERS says
# otherwise, 0 for none) against cp -r of their folder. Textwend puts what it
# writes on the disk before the names point to it; so it is also held
# against cp and cp -r each followed by a sync of the file system written
# to, as Textwend syncs only those.
#
# Each run writes into memory that the run before it gave back: on a
# virtual machine, memory that has gone back to the host costs much more to
# fill, and would otherwise fall on whichever tool runs last.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
size_mib=${SIZE_MIB:-256}
runs=${RUNS:-5}

if [ ! -f "$build/build.ninja" ]; then
	cmake -S "$here" -B "$build" -G Ninja >&2
fi
cmake --build "$build" --target convert_files >&2
convert=$build/bench/convert_files

# WORK=folder works there instead of the build folder: a file system of its
# own gives steadier figures than one where others make and remove files.
work=$(mktemp -d "${WORK:-$build}/bench-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The text: German letters in the DOS code page, doubled up to the size.
{
	for _ in $(seq 200); do
		printf 'Liebe Gr\x81\xe1e aus \x99sterreich!\r\n'
		printf 'Die B\x84ckerin verkauft s\x81\xe1e Br\x94tchen und \x8epfel.\r\n'
		printf '\x9abermorgen fahren wir \x81ber die Br\x81cke nach K\x94ln.\r\n'
		printf 'Ma\xe1 halten: drei St\x81ck f\x81r 2,50 Mark, und das ist gut so.\r\n'
		printf 'Ein ganz gew\x94hnlicher Satz ohne besondere Zeichen darin.\r\n'
	done
} > "$work/chunk"
bytes=$((size_mib * 1024 * 1024))
# The text, its doubling, and the copies and outputs of the tools.
need_kib=$((bytes / 1024 * 7))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt "$need_kib" ]; then
	echo "compare.sh: $((need_kib / 1024)) MiB free needed in $work" >&2
	exit 1
fi
# Whole letters only, so that the text ends with its line end.
unit=$(stat -c %s "$work/chunk")
bytes=$((bytes / unit * unit))
while [ "$(stat -c %s "$work/chunk")" -lt "$bytes" ]; do
	cat "$work/chunk" "$work/chunk" > "$work/double"
	mv "$work/double" "$work/chunk"
done
head -c "$bytes" "$work/chunk" > "$work/source.txt"
head -c $((16 * 1024)) "$work/chunk" > "$work/source-small"
rm "$work/chunk"

# Runs a command once; prints its wall time in seconds and peak memory in KiB.
measure() {
	sync
	local start end
	start=$(date +%s%N)
	/usr/bin/time -f '%M' -o "$work/rss" "$@" > /dev/null
	end=$(date +%s%N)
	echo "$(( (end - start) / 1000 )) $(cat "$work/rss")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
fastest() { sort -n | head -n 1; }

declare -A times memory
for run in $(seq "$runs"); do
	# Textwend's copy of the text first, so that every tool below writes
	# into memory the one before it has just given back.
	rm -f "$work/letter.txt" "$work/letter.txt-BAK" "$work/iconv.txt"
	cp "$work/source.txt" "$work/letter.txt"

	read -r t m < <(measure cp "$work/source.txt" "$work/copy.txt")
	times[cp]+="$t "; memory[cp]=$m
	rm -f "$work/copy.txt"

	read -r t m < <(measure sh -c 'cp -- "$1" "$2" && sync -f "$2"' sh "$work/source.txt" "$work/copy.txt")
	times[cpsync]+="$t "; memory[cpsync]=$m
	rm -f "$work/copy.txt"

	read -r t m < <(measure sh -c 'cat -- "$1" > "$2"' sh "$work/source.txt" "$work/copy.txt")
	times[cat]+="$t "; memory[cat]=$m
	rm -f "$work/copy.txt"

	read -r t m < <(measure sh -c 'iconv -f CP437 -t UTF-8 -- "$1" > "$2"' sh "$work/source.txt" "$work/iconv.txt")
	times[iconv]+="$t "; memory[iconv]=$m
	if [ "$run" -lt "$runs" ]; then rm -f "$work/iconv.txt"; fi

	read -r t m < <(measure "$convert" "$work/letter.txt")
	times[textwend]+="$t "; memory[textwend]=$m
done

# The same text as iconv gives it, with LF line ends: a CR LF pair and a
# lone CR (as where the text is cut) each become one LF.
# Line by line, so that files beyond 2 GiB pass too.
if ! sed 's/\r$//' "$work/iconv.txt" | tr '\r' '\n' | cmp -s - "$work/letter.txt"; then
	echo "compare.sh: the converted text differs from iconv's" >&2
	exit 1
fi

# The processor, and the extensions of it that the loops choose from.
flags=" $(grep -m1 '^flags' /proc/cpuinfo 2>/dev/null | cut -d: -f2-) "
extensions=""
for flag in sse2 avx2 bmi2 avx512bw avx512vbmi2; do
	if [[ $flags == *" $flag "* ]]; then extensions+=" $flag"; fi
done
echo "processor:$(grep -m1 '^model name' /proc/cpuinfo 2>/dev/null | cut -d: -f2-);${extensions:- none of sse2 avx2 bmi2 avx512bw avx512vbmi2}"

med() { echo "${times[$1]}" | tr ' ' '\n' | grep . | median; }
base=$(med cp)
cat_base=$(med cat)
best=$(echo "${times[cp]}" | tr ' ' '\n' | grep . | fastest)
printf '%-10s %10s %9s %8s %8s %10s %9s\n' tool "median ms" "MB/s" "x cp" "x cat" "best x cp" "peak MiB"
for tool in cp cpsync cat iconv textwend; do
	t=$(med "$tool")
	f=$(echo "${times[$tool]}" | tr ' ' '\n' | grep . | fastest)
	name=$tool
	[ "$tool" = cpsync ] && name=cp+sync
	awk -v tool="$name" -v t="$t" -v f="$f" -v b="$base" -v c="$cat_base" -v bb="$best" -v bytes="$bytes" -v m="${memory[$tool]}" \
		'BEGIN { printf "%-10s %10.1f %9.0f %8.2f %8.2f %10.2f %9.1f\n", tool, t / 1000, bytes / t, t / b, t / c, f / bb, m / 1024 }'
done
iconv_t=$(med iconv)
ours=$(med textwend)
awk -v i="$iconv_t" -v o="$ours" -v s="$size_mib" -v m="${memory[textwend]}" -v bytes="$bytes" \
	'BEGIN { printf "textwend is %.1fx faster than iconv; file %d MiB, textwend peak = file + %.1f MiB\n", i / o, s, m / 1024 - bytes / 1048576 }'
awk -v o="$ours" -v c="$(med cpsync)" \
	'BEGIN { printf "textwend, on the disk: %.2f x cp + sync\n", o / c }'
rm -f "$work"/*.txt "$work"/*.txt-BAK

# Many small letters: the same text cut into files of 1 to 16 KiB.
letters=${LETTERS:-3000}
if [ "$letters" -eq 0 ]; then exit 0; fi
mkdir "$work/letters"
awk -v n="$letters" 'BEGIN { srand(1); for (k = 1; k <= n; k++) print k, 1024 * (1 + int(rand() * 16)) }' |
	while read -r k size; do
		head -c "$size" "$work/source-small" > "$work/letters/letter-$k.txt"
	done
# Nothing is removed before the end: ext4 passes over the inodes freed in
# the last minutes when it makes a new file, and a batch that follows a
# removal of thousands of files pays for that, not for its own work.
for run in $(seq "$runs"); do
	cp -r "$work/letters" "$work/batch-$run"
	read -r t m < <(measure cp -r "$work/letters" "$work/copy-$run")
	times[cpr]+="$t "
	read -r t m < <(measure sh -c 'cp -r -- "$1" "$2" && sync -f "$2"' sh "$work/letters" "$work/synced-$run")
	times[cprsync]+="$t "
	read -r t m < <(measure sh -c '"$1" "$2"/*.txt' sh "$convert" "$work/batch-$run")
	times[batch]+="$t "; memory[batch]=$m
done
awk -v t="$(med batch)" -v c="$(med cpr)" -v s="$(med cprsync)" -v n="$letters" -v m="${memory[batch]}" \
	'BEGIN { printf "%d letters: textwend %.1f ms, cp -r %.1f ms, %.2f x cp -r; cp -r + sync %.1f ms, %.2f x cp -r + sync; peak %.1f MiB\n", n, t / 1000, c / 1000, t / c, s / 1000, t / s, m / 1024 }'
