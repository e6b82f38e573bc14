#!/usr/bin/env bash
# Whole-program throughput: encodes and decodes a long music-like WAVE file
# with the built programs through their menus, and, where installed, with flac
# and lame on the same file in the same rounds, so that the ratios between
# them hold even on a busy machine. Builds nothing.
#
#   bench/throughput.sh [BUILD_FOLDER] [--seconds N] [--runs N]
#                       [--programs "zarnconv zarnbasic"] [--memory-probe KIND]
#                       [--rates "64 128 192 256 320"]
#
# BUILD_FOLDER (default ./build) must hold zarnsample and the programs. Every
# job runs --runs times (default 5), round-robin, pinned to one core where
# taskset exists; the median wall time is reported, with × real time (audio
# seconds ÷ seconds) and the largest peak resident memory of any run.
# Where BUILD_FOLDER holds zarn, it is timed on the same file, from file to
# file and through pipes, with --full against zarnconv; and with -b N at each
# of --rates against flac -5, which the rate encoder is to match (1,000 x
# real time), with its peak memory for the 60 s file and the long one.
# Where BUILD_FOLDER/bench/zarnogg is built (and sox installed), the file
# is also made stereo and coded to Ogg Zarn at 256 kbit/s, against flac -5 on
# the same stereo file (at most 1.25 times its CPU time is the aim), decoded
# whole, and decoded from its last second by seeking (under a twentieth of
# the whole decode's time), with the peak memory of each for a 60 s file
# and the long one.
# Where BUILD_FOLDER/bench/bench_peak is built, each round also measures the
# machine's peak rate of separate multiplications and additions, and each
# program whose name starts with zarnbasic gets its speed as a share of the
# bound that rate sets for its direct transform (bench/PeakBench.cpp), with
# the sweeps its inverse takes on this machine (bench/DftSweeps.h). Where
# bench_dft is built too, the rounds time the transforms' batches alone,
# their tables and inputs to themselves, against the same bound: what is
# left between that share and a program's is the program's other work and
# what that work does to the caches.
# --memory-probe picks how peak memory is read: time (GNU time's %M, the
# default where /usr/bin/time is GNU time) or proc (VmHWM sampled from /proc
# while the job runs, a lower bound). A probe built on getrusage from a large
# parent, such as python, would not do: a forked child keeps its parent's
# peak through exec.
set -euo pipefail

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
    exit "${1:-0}"
}

die() {
    echo "throughput.sh: $*" >&2
    exit 1
}

build=./build
seconds=600
runs=5
programs="zarnconv zarnbasic"
rates="64 128 192 256 320"
oggRate=256
probe=auto
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) [ $# -ge 2 ] || usage 2; seconds=$2; shift 2 ;;
        --runs) [ $# -ge 2 ] || usage 2; runs=$2; shift 2 ;;
        --programs) [ $# -ge 2 ] || usage 2; programs=$2; shift 2 ;;
        --rates) [ $# -ge 2 ] || usage 2; rates=$2; shift 2 ;;
        --memory-probe) [ $# -ge 2 ] || usage 2; probe=$2; shift 2 ;;
        -h|--help) usage 0 ;;
        -*) echo "throughput.sh: unknown option $1" >&2; usage 2 ;;
        *) build=$1; shift ;;
    esac
done

[[ $seconds =~ ^[0-9]+([.][0-9]+)?$ ]] && awk -v s="$seconds" 'BEGIN { exit !(s > 0) }' ||
    die "--seconds must be a positive number"
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "--runs must be a positive whole number"
read -r -a programList <<<"$programs"
read -r -a rateList <<<"$rates"
for r in "${rateList[@]}"; do [[ $r =~ ^[0-9]+$ ]] || die "--rates must be whole kbit/s"; done
[ ${#programList[@]} -gt 0 ] || die "--programs names no program"
[ -x "$build/zarnsample" ] || die "no zarnsample in $build: build the project first"
for p in "${programList[@]}"; do
    [ -x "$build/$p" ] || die "no program $p in $build: build the project first"
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zarn-throughput.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM

# --- How each job is pinned, and how its peak memory is read ---

pin=()
pinNote="not pinned (no taskset)"
if command -v taskset >/dev/null; then
    # The last core this shell may use: on a shared machine the first one
    # tends to take the interrupts.
    allowed=$(taskset -cp $$ | sed 's/.*: *//')
    last=${allowed##*,}
    cpu=${last##*-}
    pin=(taskset -c "$cpu")
    pinNote="pinned to CPU $cpu (taskset)"
fi

gnuTimeWorks() { [ -x /usr/bin/time ] && /usr/bin/time --version 2>&1 | grep -q GNU; }

case "$probe" in
    auto)
        if gnuTimeWorks; then probe=time; else probe=proc; fi ;;
    time) gnuTimeWorks || die "GNU time is not at /usr/bin/time" ;;
    proc) ;;
    *) die "--memory-probe must be auto, time or proc" ;;
esac
case "$probe" in
    time) probeNote="GNU time %M" ;;
    proc) probeNote="VmHWM sampled from /proc every 2 ms (a lower bound)" ;;
esac

# A FIFO that nobody writes: reading it with a time-out sleeps without
# starting a process, which would disturb the job being sampled.
if [ "$probe" = proc ]; then
    mkfifo "$scratch/idle"
    exec {idle}<>"$scratch/idle"
fi

now() { echo "${EPOCHREALTIME/,/.}"; }

# Runs "$@" pinned, with standard input from $1, and sets jobSeconds, jobKib
# and jobCpu (user + system seconds with GNU time; the wall time otherwise).
# Ends the script with the job's output when it fails.
measure() {
    local stdin=$1
    shift
    local log="$scratch/job.log" status=0 start end
    case "$probe" in
        time)
            start=$(now)
            "${pin[@]}" /usr/bin/time -f '%M %U %S' -o "$scratch/rss" "$@" <"$stdin" >"$log" 2>&1 || status=$?
            end=$(now)
            jobSeconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
            local user system
            read -r jobKib user system < <(tail -n 1 "$scratch/rss")
            jobCpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.6f", u + s }')
            ;;
        proc)
            local pid key value rest peak=0
            start=$(now)
            "${pin[@]}" "$@" <"$stdin" >"$log" 2>&1 &
            pid=$!
            while kill -0 "$pid" 2>/dev/null; do
                while read -r key value rest; do
                    [ "$key" = VmHWM: ] && [ "$value" -gt "$peak" ] && peak=$value
                done 2>/dev/null <"/proc/$pid/status" || true
                read -r -t 0.002 -u "$idle" rest || true
            done
            wait "$pid" || status=$?
            end=$(now)
            jobSeconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
            jobKib=$peak
            jobCpu=$jobSeconds
            ;;
    esac
    if [ "$status" -ne 0 ]; then
        echo "throughput.sh: failed (status $status): $*" >&2
        cat "$log" >&2
        exit 1
    fi
}

# The menu's answers for one conversion, and the program run on them; the
# program must announce that the conversion finished.
convert() {
    local program=$1 entry=$2 input=$3 output=$4
    printf '%s\n%s\n%s\n5\n' "$entry" "$input" "$output" >"$scratch/menu"
    measure "$scratch/menu" "$build/$program"
    grep -q "Konverteringen er fuldendt" "$scratch/job.log" || {
        echo "throughput.sh: $program did not finish the conversion of $input:" >&2
        cat "$scratch/job.log" >&2
        exit 1
    }
}

# Runs zarn with ARGUMENTS between two pipes, the file INPUT going in and
# its output thrown away, by cat at either end: zarn alone is pinned, so that
# the cats take the other core rather than zarn's time.
throughPipes() {
    local input=$1
    shift
    local pinned=("${pin[@]}")
    pin=()
    measure "$input" sh -c 'cat | "$@" | cat >/dev/null' sh "${pinned[@]}" "$build/zarn" "$@"
    pin=("${pinned[@]}")
}

# Runs one job by name once.
runJob() {
    case "$1" in
        "flac -5") measure /dev/null flac -5 -f --silent -o "$scratch/flac.flac" "$wave" ;;
        "flac -d") measure /dev/null flac -d -f --silent -o "$scratch/flac.wav" "$scratch/flac.flac" ;;
        "lame -V 2") measure /dev/null lame --quiet -V 2 "$wave" "$scratch/lame.mp3" ;;
        "zarn encode") measure /dev/null "$build/zarn" -q -f --full "$wave" -o "$scratch/zarn.zarn" ;;
        "zarn decode") measure /dev/null "$build/zarn" -q -f -d "$scratch/zarn.zarn" -o "$scratch/zarn.wav" ;;
        "zarn pipe encode") throughPipes "$wave" -q --full - -o - ;;
        "zarn pipe decode") throughPipes "$scratch/zarn.zarn" -q -d - -o - ;;
        "zarn -b "*) measure /dev/null "$build/zarn" -q -f -b "${1#zarn -b }" "$wave" -o "$scratch/rate.zarn" ;;
        "flac -5 stereo") measure /dev/null flac -5 -f --silent -o "$scratch/stereo.flac" "$stereo" ;;
        "zarnogg -b "*) measure /dev/null "$ogg" encode "${1#zarnogg -b }" "$stereo" "$scratch/stereo.oza" ;;
        "zarnogg decode") measure /dev/null "$ogg" decode "$scratch/stereo.oza" ;;
        "zarnogg seek") measure /dev/null "$ogg" decode "$scratch/stereo.oza" "$lastSecond" ;;
        *" encode") convert "${1% encode}" 1 "$wave" "$scratch/${1% encode}.zarn" ;;
        *" decode") convert "${1% decode}" 2 "$scratch/${1% decode}.zarn" "$scratch/${1% decode}.wav" ;;
    esac
}

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

audioSeconds() { awk -v bytes="$(stat -c %s "$1")" 'BEGIN { printf "%.3f", (bytes - 44) / 2 / 44100 }'; }

mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# One line of JOB's × real time against the bound: "share JOB X BOUND".
share() {
    awk -v job="$1" -v a="$2" -v b="$3" \
        'BEGIN { printf "  %-20s %8.1f of %8.1f x real time: %5.1f %%\n", job, a, b, 100 * a / b }'
}

# --- The input and the jobs ---

wave="$scratch/music.wav"
"$build/zarnsample" "$wave" "$seconds"
audio=$(audioSeconds "$wave")

jobs=()
for p in "${programList[@]}"; do jobs+=("$p encode" "$p decode"); done
haveZarn=0
if [ -x "$build/zarn" ]; then
    haveZarn=1
    jobs+=("zarn encode" "zarn decode" "zarn pipe encode" "zarn pipe decode")
    for r in "${rateList[@]}"; do jobs+=("zarn -b $r"); done
fi
haveFlac=0
haveLame=0
if command -v flac >/dev/null; then haveFlac=1; jobs+=("flac -5" "flac -d"); fi
if command -v lame >/dev/null; then haveLame=1; jobs+=("lame -V 2"); fi
# Stereo through the Ogg Zarn encoder and decoder: the input's music on the
# left, and on the right the same 0.31 s later, which no coupling can take
# for the left; seeking to the file's last second.
ogg="$build/bench/zarnogg"
haveOgg=0
stereo="$scratch/stereo.wav"
lastSecond=$(awk -v s="$audio" 'BEGIN { print (s > 1 ? s - 1 : 0) }')
if [ -x "$ogg" ] && command -v sox >/dev/null; then
    haveOgg=1
    sox "$wave" -c 2 "$stereo" remix 1 1 delay 0 0.31 trim 0 "$audio"
    jobs+=("zarnogg -b $oggRate" "zarnogg decode" "zarnogg seek")
    [ $haveFlac = 0 ] || jobs+=("flac -5 stereo")
fi

echo "Machine: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores, $(uname -sr)"
echo "Input: $audio s of 44.1 kHz 16-bit mono music, $(stat -c %s "$wave") bytes"
echo "Each job $runs times, round-robin; median wall time; $pinNote; peak memory by $probeNote"
[ $haveFlac = 1 ] || echo "flac is not installed: no comparison with it"
[ $haveLame = 1 ] || echo "lame is not installed: no comparison with it"
echo

# The × real time that the machine's peak rate of separate multiplications
# and additions allows each direct transform: the best of the vector paths,
# "FORWARD INVERSE", or nothing where bench_peak is not built or fails.
peakBench="$build/bench/bench_peak"
directBounds() {
    [ -x "$peakBench" ] || return 0
    "${pin[@]}" "$peakBench" --benchmark_min_time=0.2 --benchmark_format=json 2>/dev/null |
        awk -F': *' '/"forward_x"/ { v = $2 + 0; if (v > f) f = v }
                     /"inverse_x"/ { v = $2 + 0; if (v > i) i = v }
                     END { if (f > 0 && i > 0) print f, i }' || true
}

# The sweeps that the programs' batch inverse takes here, as bench_peak
# reports them: "{frames, slices} (path, tuning)", or nothing.
inverseSweeps() {
    [ -x "$peakBench" ] || return 0
    "${pin[@]}" "$peakBench" --benchmark_filter=PeakMulAdd/portable --benchmark_min_time=0.01 \
        --benchmark_format=json 2>/dev/null |
        sed -n 's/^ *"dft_inverse_sweeps": "\(.*\)",\{0,1\}$/\1/p' || true
}

# The × real time of the direct transforms' batches alone, "FORWARD
# INVERSE", the best of the vector paths as for the bound, or nothing where
# bench_dft is not built or fails.
dftBench="$build/bench/bench_dft"
directAlone() {
    [ -x "$dftBench" ] || return 0
    "${pin[@]}" "$dftBench" --benchmark_filter=Batch --benchmark_min_time=0.2 --benchmark_format=json 2>/dev/null |
        awk -F': *' '/"name": "DftForwardBatch/ { kind = "f" }
                     /"name": "DftInverseBatch/ { kind = "i" }
                     /"audio_s"/ { v = $2 + 0; if (kind == "f" && v > f) f = v; if (kind == "i" && v > i) i = v }
                     END { if (f > 0 && i > 0) print f, i }' || true
}

declare -A times cpuTimes peak
forwardBounds=""
inverseBounds=""
forwardAlone=""
inverseAlone=""
for ((round = 1; round <= runs; ++round)); do
    for job in "${jobs[@]}"; do
        runJob "$job"
        times[$job]+="$jobSeconds "
        cpuTimes[$job]+="$jobCpu "
        [ "${peak[$job]:-0}" -ge "$jobKib" ] || peak[$job]=$jobKib
    done
    read -r forward inverse <<<"$(directBounds)" || true
    if [ -n "${forward:-}" ]; then
        forwardBounds+="$forward "
        inverseBounds+="$inverse "
        read -r forward inverse <<<"$(directAlone)" || true
        if [ -n "${forward:-}" ]; then
            forwardAlone+="$forward "
            inverseAlone+="$inverse "
        fi
    fi
done

declare -A med
printf '%-20s %10s %14s %14s\n' job seconds "x real time" "peak memory"
for job in "${jobs[@]}"; do
    med[$job]=$(median <<<"${times[$job]}")
    printf '%-20s %10.3f %14.1f %10s MiB\n' "$job" "${med[$job]}" \
        "$(awk -v a="$audio" -v s="${med[$job]}" 'BEGIN { print a / s }')" "$(mib "${peak[$job]}")"
done

if [ -n "$forwardBounds" ] && [[ " ${programList[*]}" == *" zarnbasic"* ]]; then
    forwardBound=$(median <<<"$forwardBounds")
    inverseBound=$(median <<<"$inverseBounds")
    echo
    sweeps=$(inverseSweeps)
    [ -z "$sweeps" ] || echo "Direct inverse transform's batch sweeps here: $sweeps"
    echo "Direct transforms against their bound, the x real time the peak rate of separate"
    echo "multiplications and additions allows (bench_peak, median of the rounds), by the"
    if [ "$probe" = time ]; then
        echo "jobs' CPU time (user + system; median), which other jobs on the core do not stretch:"
    else
        echo "jobs' wall time (no CPU time without GNU time; low if other jobs share the core):"
    fi
    if [ -n "$forwardAlone" ]; then
        share "forward batches alone" "$(median <<<"$forwardAlone")" "$forwardBound"
        share "inverse batches alone" "$(median <<<"$inverseAlone")" "$inverseBound"
    fi
    for p in "${programList[@]}"; do
        [[ $p == zarnbasic* ]] || continue
        for step in encode decode; do
            if [ $step = encode ]; then bound=$forwardBound; else bound=$inverseBound; fi
            cpu=$(median <<<"${cpuTimes[$p $step]}")
            share "$p $step" "$(awk -v a="$audio" -v s="$cpu" 'BEGIN { print a / s }')" "$bound"
        done
    done
fi

ratio() { awk -v fast="$1" -v slow="$2" 'BEGIN { printf "%.3f", fast / slow }'; }
if [ $haveZarn = 1 ] && [[ " ${programList[*]} " == *" zarnconv "* ]]; then
    echo
    echo "zarn's time against zarnconv's on the same 16-bit mono input (at most 1.1 is the aim):"
    for step in encode decode "pipe encode" "pipe decode"; do
        printf '  %-30s %s\n' "zarn $step / zarnconv ${step#pipe }" "$(ratio "${med[zarn $step]}" "${med[zarnconv ${step#pipe }]}")"
    done
fi
if [ $haveZarn = 1 ] && [ ${#rateList[@]} -gt 0 ]; then
    echo
    echo "The rate encoder, file to file, by CPU time (1,000 x real time and flac -5's speed are the aim):"
    for r in "${rateList[@]}"; do
        cpu=$(median <<<"${cpuTimes[zarn -b $r]}")
        line=$(awk -v a="$audio" -v s="$cpu" 'BEGIN { printf "%8.1f x real time", a / s }')
        if [ $haveFlac = 1 ]; then
            line+=", against flac -5: $(ratio "$(median <<<"${cpuTimes[flac -5]}")" "$cpu")"
        fi
        printf '  %-20s %s\n' "zarn -b $r" "$line"
    done
fi
if [ $haveOgg = 1 ]; then
    echo
    echo "Ogg Zarn, stereo:"
    encodeCpu=$(median <<<"${cpuTimes[zarnogg -b $oggRate]}")
    if [ $haveFlac = 1 ]; then
        printf '  %-30s %s   (at most 1.25 is the aim; by CPU time)\n' "zarnogg -b $oggRate / flac -5" \
            "$(ratio "$encodeCpu" "$(median <<<"${cpuTimes[flac -5 stereo]}")")"
    fi
    # By wall time: a seek takes less CPU time than GNU time resolves.
    printf '  %-30s %s   (under 0.05 is the aim; by wall time, %s s against %s s)\n' \
        "seek to ${lastSecond} s / decode" \
        "$(awk -v a="${med[zarnogg seek]}" -v b="${med[zarnogg decode]}" 'BEGIN { printf "%.4f", a / b }')" \
        "${med[zarnogg seek]}" "${med[zarnogg decode]}"
fi
if [ $haveFlac = 1 ] || [ $haveLame = 1 ]; then
    echo
    echo "Speed relative to the reference tools in the same run (above 1: faster):"
    for p in "${programList[@]}"; do
        if [ $haveFlac = 1 ]; then
            printf '  %-30s %s\n' "$p encode / flac -5" "$(ratio "${med[flac -5]}" "${med[$p encode]}")"
            printf '  %-30s %s\n' "$p decode / flac -d" "$(ratio "${med[flac -d]}" "${med[$p decode]}")"
        fi
        if [ $haveLame = 1 ]; then
            printf '  %-30s %s\n' "$p encode / lame -V 2" "$(ratio "${med[lame -V 2]}" "${med[$p encode]}")"
        fi
    done
fi

# --- Peak memory must not grow with the input ---

echo
short="$scratch/minute.wav"
"$build/zarnsample" "$short" 60
echo "Peak memory, 60 s file against the $audio s file:"
for p in "${programList[@]}"; do
    convert "$p" 1 "$short" "$scratch/minute.zarn"
    shortEncode=$jobKib
    convert "$p" 2 "$scratch/minute.zarn" "$scratch/minute-back.wav"
    shortDecode=$jobKib
    for step in encode decode; do
        if [ $step = encode ]; then small=$shortEncode; else small=$shortDecode; fi
        large=${peak[$p $step]}
        difference=$((large - small))
        verdict="within 1 MiB"
        [ ${difference#-} -le 1024 ] || verdict="differs by more than 1 MiB"
        [ "$small" -lt 16384 ] && [ "$large" -lt 16384 ] && verdict+=", under 16 MiB" || verdict+=", not under 16 MiB"
        printf '  %-20s %8s MiB %8s MiB   (%s)\n' "$p $step" "$(mib "$small")" "$(mib "$large")" "$verdict"
    done
done
if [ $haveZarn = 1 ] && [ ${#rateList[@]} -gt 0 ]; then
    r=${rateList[$((${#rateList[@]} / 2))]}
    measure /dev/null "$build/zarn" -q -f -b "$r" "$short" -o "$scratch/minute-rate.zarn"
    small=$jobKib
    large=${peak[zarn -b $r]}
    difference=$((large - small))
    verdict="within 1 MiB"
    [ ${difference#-} -le 1024 ] || verdict="differs by more than 1 MiB"
    printf '  %-20s %8s MiB %8s MiB   (%s)\n' "zarn -b $r" "$(mib "$small")" "$(mib "$large")" "$verdict"
fi
if [ $haveOgg = 1 ]; then
    sox "$short" -c 2 "$scratch/minute-stereo.wav" remix 1 1 delay 0 0.31 trim 0 60
    measure /dev/null "$ogg" encode "$oggRate" "$scratch/minute-stereo.wav" "$scratch/minute.oza"
    shortEncode=$jobKib
    measure /dev/null "$ogg" decode "$scratch/minute.oza"
    shortDecode=$jobKib
    for step in "-b $oggRate" decode; do
        if [ "$step" = decode ]; then small=$shortDecode; else small=$shortEncode; fi
        large=${peak[zarnogg $step]}
        difference=$((large - small))
        verdict="within 1 MiB"
        [ ${difference#-} -le 1024 ] || verdict="differs by more than 1 MiB"
        printf '  %-20s %8s MiB %8s MiB   (%s)\n' "zarnogg $step" "$(mib "$small")" "$(mib "$large")" "$verdict"
    done
fi
