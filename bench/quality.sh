#!/usr/bin/env bash
# Quality per bit: encodes real recordings at 64 to 320 kbit/s with zarn and,
# where installed, with lame (CBR), opusenc and ffmpeg's mp2, decodes each
# back to 16-bit mono 44.1 kHz WAVE, lines the decoding up with its original
# (bench/zarnalign: the peers put a delay of their own in front) and grades
# it. Builds nothing.
#
#   bench/quality.sh [BUILD_FOLDER] [--rates "64 96 128 160 192 256 320"]
#                    [--codecs "zarn lame opus mp2"]
#                    [--set main|more|heldout|check|stereo|stereo-heldout|
#                           fresh|stereo-orchestra|stereo-check]
#
# BUILD_FOLDER (default ./build) must hold zarn and bench/zarnalign. zarn
# encodes as it can today: --full (its own variable rate) and --basic, each
# once; once `zarn --help` lists --bitrate, it also encodes with -b N at
# every rate. Every decoding gets SNR and segmental SNR (per 256-sample hop,
# each held to -10..60 dB, silent hops skipped). With ZARN_PEAQ set to a
# command, e.g. ZARN_PEAQ="peaq --basic {reference} {test}", that command
# also grades both files, lowered by 3 dB and resampled to 48 kHz the same
# way (sox gain -3 rate -v), and its Objective Difference Grade (0
# imperceptible ... -4 very annoying) is taken from a line naming it, or else
# the last number it prints. No PEAQ comes with the project. The table per
# grade: codec, target and actual kbit/s (file size x 8 / duration), the
# grade per recording, their mean and the worst, and the encode time summed
# over the recordings. A peer that caps or refuses a rate says so in the
# actual column (opusenc gives mono no more than 256 kbit/s) or with
# "refused".
#
# The recordings are cut from Debian packages (all in main), fetched on the
# first run with apt-get download into $ZARN_QUALITY_CACHE (default
# ~/.cache/zarn-quality), unpacked with dpkg-deb, mixed to mono, converted
# to 44.1 kHz 16-bit with dither, freed of DC and normalised to -1 dB full
# scale; nothing of them is kept in the repository. The five packages are
# about 50 MB to download, once. Each recording is a kind of sound that
# coders find hard in its own way:
#   speech  puredata-doc voice.wav + voice2.wav and supercollider-common
#           a11wlk01.wav: three short spoken phrases, one after another
#           (7 s in all: no small package in main ships more speech)
#   title   neverball-common bgm/title.ogg, 0-20 s: game music, a full mix
#   track4  neverball-common bgm/track4.ogg, 40-60 s: another piece of it
#   drums   sonic-pi-samples loop_amen_full, loop_tabla, loop_compus: drum
#           loops, sharp attacks (pre-echo) and noise-like cymbals (24 s)
#   piano   lmms-common instruments/piano02.ogg and sonic-pi-samples
#           ambi_piano.flac: solo piano, partials closer than a coarse
#           transform resolves (13 s)
# --set more grades five others from the same packages instead, to check
# that what was tuned on those five holds on sound it was not tuned on:
#   track2  neverball-common bgm/track2.ogg, 40-55 s: game music
#   track6  neverball-common bgm/track6.ogg, 20-35 s: game music, dense
#   guitar  sonic-pi-samples guit_em9 and guit_e_fifths: electric guitar
#   bells   sonic-pi-samples perc_bell, perc_bell2 and ambi_glass_hum:
#           bells and a glass, partials high up and long decays
#   loops   sonic-pi-samples loop_mika and loop_garzul: loops of
#           electronic music
# --set stereo grades five recordings kept in stereo, at 128 to 384 kbit/s
# for the pair, by two-channel PEAQ (the command in ZARN_PEAQ is given both
# channels as they are): zarn's rows are bench/zarnjoint, which codes the two channels
# together at the total rate and writes what the reference decoding gives
# back, once choosing left/right or mid/side hop by hop (cost), once by the
# estimate (estimate), and as baselines always left/right (lr) and always
# mid/side (ms); lame codes joint stereo (-m j), mp2 up to 384 kbit/s.
# SNR and segmental SNR are those of the first channel, by which the
# decoding is also lined up.
#   title   neverball-common bgm/title.ogg, 0-20 s: game music, a full mix
#   track3  neverball-common bgm/track3.ogg, 20-40 s: game music
#   track5  neverball-common bgm/track5.ogg, 40-60 s: game music
#   drums   the main set's drum loops, in stereo (24 s)
#   guitar  the more set's electric guitar, in stereo (16 s)
# --set stereo-heldout grades, as --set stereo does, five stereo recordings
# from other packages, which no tuning has heard: the check that what the
# stereo coding was tuned on holds on other music. Only the choice by the
# estimate, the one zarn's Ogg Zarn encoder makes, is graded for zarn.
# 20 s each:
#   metal     fretsonfire-songs-muldjord armygeddon/song.ogg, 40-60 s
#   rock      fretsonfire-songs-sectoid Feelings/song.ogg, 60-80 s
#   minstrel  wesnoth-1.16-music traveling_minstrels.ogg, 20-40 s: acoustic
#             folk instruments, plucked strings and flutes
#   choir     wesnoth-1.16-music nunc_dimittis.ogg, 60-80 s: orchestral
#   adventure drascula-music track2.ogg, 20-40 s: game soundtrack
# --set heldout grades the same five mixed to mono, with zarn -b as the
# main set does: the mono coder on music it was not tuned on.
# --set fresh grades, as --set stereo-heldout does, four more stereo
# recordings, by three composers, for a check on music that neither the
# tuning nor the held-apart set has heard, once a change was weighed on
# both (hyperrogue-music, 20 s each):
#   ivory     hr-savino-ivory.ogg, 20-40 s
#   icyland   hr3-icyland.ogg, 20-40 s
#   mountain  hr-domina-mountain.ogg, 30-50 s
#   caves     hr3-caves.ogg, 20-40 s
# --set stereo-orchestra grades, as --set stereo-heldout does, four
# orchestral pieces from wesnoth-1.16-music, the kind of music the coder
# grades worst on, on which the clean joins between hops were found and
# weighed (20 s each, from 30 s on):
#   heroes    heroes_rite.ogg
#   legends   legends_of_the_north.ogg
#   symphony  the_dangerous_symphony.ogg
#   knolls    knolls.ogg
# --set stereo-check grades five pieces from warzone2100-music (Opus files,
# decoded with opusdec; 20 s each, from 40 s on), kept for a check on music
# that no change was weighed on until the clean joins were in (since then it
# has found one fault and turned down one profile: README); --set check
# grades them mixed to mono with zarn -b:
#   wz10      legacy_soundtrack/track10.opus
#   wz14      legacy_soundtrack/track14.opus
#   wz17      aftermath_soundtrack/track17.opus
#   wz21      aftermath_soundtrack/track21.opus
#   wz25      aftermath_soundtrack/track25.opus
set -euo pipefail

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
    exit "${1:-0}"
}

die() {
    echo "quality.sh: $*" >&2
    exit 1
}

build=./build
rates="64 96 128 160 192 256 320"
ratesGiven=0
codecs="zarn lame opus mp2"
set=main
while [ $# -gt 0 ]; do
    case "$1" in
        --rates) [ $# -ge 2 ] || usage 2; rates=$2; ratesGiven=1; shift 2 ;;
        --codecs) [ $# -ge 2 ] || usage 2; codecs=$2; shift 2 ;;
        --set) [ $# -ge 2 ] || usage 2; set=$2; shift 2 ;;
        -h|--help) usage 0 ;;
        -*) echo "quality.sh: unknown option $1" >&2; usage 2 ;;
        *) build=$1; shift ;;
    esac
done

case "$set" in
    main|more|heldout|check|stereo|stereo-heldout|fresh|stereo-orchestra|stereo-check) ;;
    *) die "--set is main, more, heldout, check, stereo, stereo-heldout, fresh, stereo-orchestra or stereo-check, not $set" ;;
esac
stereo=0
[[ $set != stereo* && $set != fresh ]] || stereo=1

# The pair's rates, unless given.
[ $stereo = 0 ] || [ $ratesGiven = 1 ] || rates="128 192 256 320 384"
read -r -a rateList <<<"$rates"
[ ${#rateList[@]} -gt 0 ] || die "--rates names no rate"
for r in "${rateList[@]}"; do [[ $r =~ ^[1-9][0-9]*$ ]] || die "--rates takes whole kbit/s, not $r"; done
zarn="$build/zarn"
align="$build/bench/zarnalign"
[ $stereo = 1 ] || [ -x "$zarn" ] || die "no zarn in $build: build the project (zarn needs libsndfile1-dev and libsoxr-dev)"
[ -x "$align" ] || die "no bench/zarnalign in $build: build the project"
joint="$build/bench/zarnjoint"
[ $stereo = 0 ] || [ -x "$joint" ] || die "no bench/zarnjoint in $build: build the project (it needs libsndfile1-dev)"

# --- Tools: the preparation needs sox and Debian's package tools; each peer
# is skipped where missing ---

missing=()
for tool in sox apt-get dpkg-deb; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[ ${#missing[@]} -eq 0 ] || die "needs ${missing[*]} (apt-get install sox)"

wanted() { [[ " $codecs " == *" $1 "* ]]; }
declare -A have
skipNotes=()
peerCheck() {
    local codec=$1 package=$2
    shift 2
    wanted "$codec" || return 0
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            skipNotes+=("$codec: $tool is not installed (apt-get install $package)")
            return 0
        fi
    done
    have[$codec]=1
}
wanted zarn && have[zarn]=1
peerCheck lame lame lame
peerCheck opus opus-tools opusenc opusdec
peerCheck mp2 ffmpeg ffmpeg

# --- The recordings ---

cache=${ZARN_QUALITY_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zarn-quality}
mkdir -p "$cache/debs" "$cache/unpacked" "$cache/recordings"

# name|package|start seconds|length seconds (empty: whole)|files, as the
# package installs them, joined in this order
mainRecordings=(
    "speech|puredata-doc supercollider-common|0||usr/share/puredata/doc/sound/voice.wav usr/share/puredata/doc/sound/voice2.wav usr/share/SuperCollider/sounds/a11wlk01.wav"
    "title|neverball-common|0|20|usr/share/games/neverball/bgm/title.ogg"
    "track4|neverball-common|40|20|usr/share/games/neverball/bgm/track4.ogg"
    "drums|sonic-pi-samples|0||usr/share/sonic-pi/samples/loop_amen_full.flac usr/share/sonic-pi/samples/loop_tabla.flac usr/share/sonic-pi/samples/loop_compus.flac"
    "piano|lmms-common sonic-pi-samples|0||usr/share/lmms/samples/instruments/piano02.ogg usr/share/sonic-pi/samples/ambi_piano.flac"
)
samples=usr/share/sonic-pi/samples
moreRecordings=(
    "track2|neverball-common|40|15|usr/share/games/neverball/bgm/track2.ogg"
    "track6|neverball-common|20|15|usr/share/games/neverball/bgm/track6.ogg"
    "guitar|sonic-pi-samples|0||$samples/guit_em9.flac $samples/guit_e_fifths.flac"
    "bells|sonic-pi-samples|0||$samples/perc_bell.flac $samples/perc_bell2.flac $samples/ambi_glass_hum.flac"
    "loops|sonic-pi-samples|0||$samples/loop_mika.flac $samples/loop_garzul.flac"
)
stereoRecordings=(
    "title|neverball-common|0|20|usr/share/games/neverball/bgm/title.ogg"
    "track3|neverball-common|20|20|usr/share/games/neverball/bgm/track3.ogg"
    "track5|neverball-common|40|20|usr/share/games/neverball/bgm/track5.ogg"
    "drums|sonic-pi-samples|0||$samples/loop_amen_full.flac $samples/loop_tabla.flac $samples/loop_compus.flac"
    "guitar|sonic-pi-samples|0||$samples/guit_em9.flac $samples/guit_e_fifths.flac"
)
fof=usr/share/games/fretsonfire/data/songs
wesnoth=usr/share/games/wesnoth/1.16/data/core/music
heldoutRecordings=(
    "metal|fretsonfire-songs-muldjord|40|20|$fof/muldjord/armygeddon/song.ogg"
    "rock|fretsonfire-songs-sectoid|60|20|$fof/sectoid/Feelings/song.ogg"
    "minstrel|wesnoth-1.16-music|20|20|$wesnoth/traveling_minstrels.ogg"
    "choir|wesnoth-1.16-music|60|20|$wesnoth/nunc_dimittis.ogg"
    "adventure|drascula-music|20|20|usr/share/scummvm/drascula/audio/track2.ogg"
)
hyperrogue=usr/share/hyperrogue/music
freshRecordings=(
    "ivory|hyperrogue-music|20|20|$hyperrogue/hr-savino-ivory.ogg"
    "icyland|hyperrogue-music|20|20|$hyperrogue/hr3-icyland.ogg"
    "mountain|hyperrogue-music|30|20|$hyperrogue/hr-domina-mountain.ogg"
    "caves|hyperrogue-music|20|20|$hyperrogue/hr3-caves.ogg"
)
orchestraRecordings=(
    "heroes|wesnoth-1.16-music|30|20|$wesnoth/heroes_rite.ogg"
    "legends|wesnoth-1.16-music|30|20|$wesnoth/legends_of_the_north.ogg"
    "symphony|wesnoth-1.16-music|30|20|$wesnoth/the_dangerous_symphony.ogg"
    "knolls|wesnoth-1.16-music|30|20|$wesnoth/knolls.ogg"
)
warzone=usr/share/games/warzone2100/music/albums
checkRecordings=(
    "wz10|warzone2100-music|40|20|$warzone/legacy_soundtrack/track10.opus"
    "wz14|warzone2100-music|40|20|$warzone/legacy_soundtrack/track14.opus"
    "wz17|warzone2100-music|40|20|$warzone/aftermath_soundtrack/track17.opus"
    "wz21|warzone2100-music|40|20|$warzone/aftermath_soundtrack/track21.opus"
    "wz25|warzone2100-music|40|20|$warzone/aftermath_soundtrack/track25.opus"
)
case "$set" in
    main) recordings=("${mainRecordings[@]}") ;;
    more) recordings=("${moreRecordings[@]}") ;;
    heldout) recordings=("${heldoutRecordings[@]}") ;;
    stereo) recordings=("${stereoRecordings[@]}") ;;
    stereo-heldout) recordings=("${heldoutRecordings[@]}") ;;
    fresh) recordings=("${freshRecordings[@]}") ;;
    stereo-orchestra) recordings=("${orchestraRecordings[@]}") ;;
    check | stereo-check) recordings=("${checkRecordings[@]}") ;;
esac
# The stereo set's recordings are kept apart from the mono ones of the same
# name.
recordingsDir="$cache/recordings"
[ $stereo = 0 ] || recordingsDir="$cache/recordings/stereo"
mkdir -p "$recordingsDir"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zarn-quality.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM

# Unpacks PACKAGE into the cache, downloading it first if need be; the
# download runs inside the cache, whatever the package lists say of versions.
unpack() {
    local package=$1 deb
    [ -e "$cache/unpacked/$package.done" ] && return 0
    deb=$(find "$cache/debs" -maxdepth 1 -name "${package}_*.deb" | head -n 1)
    if [ -z "$deb" ]; then
        echo "Downloading $package (once, into $cache)" >&2
        # As root apt warns that its sandbox user cannot write there; harmless.
        (cd "$cache/debs" && apt-get download "$package" 2>&1 | { grep -v '^W: Download is performed unsandboxed' >&2 || true; }) ||
            die "apt-get download $package failed: run apt-get update, or check the network"
        deb=$(find "$cache/debs" -maxdepth 1 -name "${package}_*.deb" | head -n 1)
        [ -n "$deb" ] || die "apt-get download $package left no .deb in $cache/debs"
    fi
    dpkg-deb -x "$deb" "$cache/unpacked"
    touch "$cache/unpacked/$package.done"
}

# Mono (or stereo for the stereo set), 44.1 kHz, 16-bit with dither, peak
# at -1 dB: pieces joined, then cut.
# Halved first and kept in 32 bits until the end, so that neither the mix
# nor the filters clip before the level is set.
# A high-pass at 10 Hz removes the DC offset some samples carry (piano02's is
# -29 dB): inaudible, it would count against every coder that drops it.
prepare() {
    local name=$1 packages=$2 start=$3 length=$4 files=$5 out="$recordingsDir/$1.wav"
    [ -s "$out" ] && return 0
    local package file i=0 pieces=()
    for package in $packages; do unpack "$package"; done
    for file in $files; do
        [ -f "$cache/unpacked/$file" ] || die "$file is not in $packages (has the package changed?)"
        i=$((i + 1))
        local source="$cache/unpacked/$file"
        if [[ $file == *.opus ]]; then
            # sox reads no Opus: opusdec decodes it to WAVE first.
            command -v opusdec >/dev/null || die "$file needs opusdec (apt-get install opus-tools)"
            opusdec --quiet --rate 44100 "$source" "$scratch/opus$i.wav"
            source="$scratch/opus$i.wav"
        fi
        if [ $stereo = 1 ]; then
            sox -D -v 0.5 "$source" -b 32 "$scratch/piece$i.wav" channels 2 rate -v 44100
        else
            sox -D -v 0.5 "$source" -b 32 "$scratch/piece$i.wav" remix - rate -v 44100
        fi
        pieces+=("$scratch/piece$i.wav")
    done
    local cut=(trim "$start")
    [ -z "$length" ] || cut+=("$length")
    sox "${pieces[@]}" -b 16 "$scratch/prepared.wav" "${cut[@]}" highpass 10 gain -n -1 dither
    mv "$scratch/prepared.wav" "$out"
}

names=()
for entry in "${recordings[@]}"; do
    IFS='|' read -r name packages start length files <<<"$entry"
    prepare "$name" "$packages" "$start" "$length" "$files"
    names+=("$name")
done

# --- The encoders, and the decoders back to 16-bit mono 44.1 kHz WAVE ---

now() { echo "${EPOCHREALTIME/,/.}"; }

zarnRates=0
# The help is read whole first: grep -q would stop reading at the first
# match, and under pipefail zarn's broken pipe would count as no match.
if [ $stereo = 0 ]; then
    zarnHelp=$("$zarn" --help 2>&1 || true)
    [[ $zarnHelp != *--bitrate* ]] || zarnRates=1
fi

# The rows: "codec|label|target kbit/s (- for none)".
rows=()
if [ -n "${have[zarn]:-}" ] && [ $stereo = 1 ]; then
    for r in "${rateList[@]}"; do
        choices=(cost estimate lr ms)
        [ "$set" = stereo ] || choices=(estimate)
        for choice in "${choices[@]}"; do rows+=("zarn|zarn $choice $r|$r"); done
    done
elif [ -n "${have[zarn]:-}" ]; then
    rows+=("zarn|zarn --full|-" "zarn|zarn --basic|-")
    if [ $zarnRates = 1 ]; then
        for r in "${rateList[@]}"; do rows+=("zarn|zarn -b $r|$r"); done
    fi
fi
for codec in lame opus mp2; do
    [ -n "${have[$codec]:-}" ] || continue
    for r in "${rateList[@]}"; do rows+=("$codec|$codec $r|$r"); done
done
[ ${#rows[@]} -gt 0 ] || die "no codec to measure"

# Encodes $1 (a WAVE) for ROW into $2; fails when the encoder refuses the
# rate. MPEG audio layer II has no mono rate above 192 kbit/s; ffmpeg
# writes such streams all the same, but no player need take them, so they
# count as refused here.
encode() {
    local label=$1 target=$2 input=$3 output=$4
    case "$label" in
        "zarn --full") "$zarn" -q -f --full "$input" -o "$output" ;;
        "zarn --basic") "$zarn" -q -f --basic "$input" -o "$output" ;;
        "zarn -b "*) "$zarn" -q -f -b "$target" "$input" -o "$output" ;;
        # The coder and the reference decoding at once: the frames' size in
        # the "coded" file's place, the decoding kept for decode().
        "zarn "*)
            local choice=${label#zarn }
            "$joint" "$target" "$input" "$scratch/joint.wav" --choice "${choice% *}" >"$scratch/joint.out"
            head -c "$(sed -n 's/^bytes //p' "$scratch/joint.out")" /dev/zero >"$output"
            ;;
        lame*) lame --quiet --cbr -b "$target" $([ $stereo = 0 ] || echo -m j) "$input" "$output" ;;
        opus*) opusenc --quiet --bitrate "$target" "$input" "$output" ;;
        mp2*) [ "$target" -le $((192 * (1 + stereo))) ] &&
            ffmpeg -nostdin -v error -y -i "$input" -c:a mp2 -b:a "${target}k" -f mp2 "$output" ;;
    esac
}

decode() {
    local label=$1 input=$2 output=$3
    case "$label" in
        "zarn "[celm]*) cp "$scratch/joint.wav" "$output" ;;
        zarn*) "$zarn" -q -f -d "$input" -o "$output" ;;
        lame*) lame --quiet --decode "$input" "$output" ;;
        opus*) opusdec --quiet --rate 44100 "$input" "$output" ;;
        mp2*) ffmpeg -nostdin -v error -y -i "$input" -ac $((1 + stereo)) -ar 44100 -c:a pcm_s16le "$output" ;;
    esac
}

# The ODG that $ZARN_PEAQ prints for the two files, both lowered by 3 dB
# and resampled to 48 kHz, where PEAQ is defined, into 32-bit floating-point
# WAVE, where the resampler's overshoot of a decoding near full scale cannot
# clip.
mkdir -p "$scratch/peaq"
peaqGrade() {
    local reference="$scratch/peaq/reference.wav" test="$scratch/peaq/test.wav" command output grade
    sox -D "$1" -e floating-point -b 32 "$reference" gain -3 rate -v 48k
    sox -D "$2" -e floating-point -b 32 "$test" gain -3 rate -v 48k
    command=${ZARN_PEAQ//\{reference\}/$(printf '%q' "$reference")}
    command=${command//\{test\}/$(printf '%q' "$test")}
    output=$(sh -c "$command" 2>&1) || die "ZARN_PEAQ failed: $command: $output"
    grade=$(sed -n 's/.*[Oo]bjective [Dd]ifference [Gg]rade[^-0-9]*\(-\{0,1\}[0-9][0-9.]*\).*/\1/p' <<<"$output" | tail -n 1)
    [ -n "$grade" ] || grade=$(grep -oE -- '-?[0-9]+([.][0-9]+)?' <<<"$output" | tail -n 1 || true)
    [ -n "$grade" ] || die "ZARN_PEAQ printed no grade: $output"
    echo "$grade"
}

grades=(snr segsnr)
[ -z "${ZARN_PEAQ:-}" ] || grades=(odg "${grades[@]}")
declare -A value seconds bytes lags encodeSeconds
totalAudio=0
for name in "${names[@]}"; do
    samples=$(( ($(stat -c %s "$recordingsDir/$name.wav") - 44) / 2 / (1 + stereo) ))
    seconds[$name]=$(awk -v n="$samples" 'BEGIN { printf "%.6f", n / 44100 }')
    totalAudio=$(awk -v a="$totalAudio" -v b="${seconds[$name]}" 'BEGIN { print a + b }')
done

echo "Machine: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores"
echo "Recordings ($([ $stereo = 1 ] && echo stereo || echo mono) 16-bit 44.1 kHz, from $recordingsDir):"
for name in "${names[@]}"; do printf '  %-8s %6.1f s\n' "$name" "${seconds[$name]}"; done
for note in "${skipNotes[@]}"; do echo "Skipped $note"; done
[ $zarnRates = 1 ] || [ $stereo = 1 ] || echo "zarn has no --bitrate yet: only --full and --basic, at their own rates"
[ -n "${ZARN_PEAQ:-}" ] || echo "ZARN_PEAQ is not set: SNR and segmental SNR only"
echo

for row in "${rows[@]}"; do
    IFS='|' read -r codec label target <<<"$row"
    extension=$codec
    encodeSeconds[$label]=0
    for name in "${names[@]}"; do
        original="$recordingsDir/$name.wav"
        coded="$scratch/coded.$extension"
        decoded="$scratch/decoded.wav"
        rm -f "$coded" "$decoded"
        start=$(now)
        if ! encode "$label" "$target" "$original" "$coded" 2>"$scratch/encode.log"; then
            value[$label,$name,refused]=1
            continue
        fi
        end=$(now)
        encodeSeconds[$label]=$(awk -v t="${encodeSeconds[$label]}" -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", t + b - a }')
        bytes[$label,$name]=$(stat -c %s "$coded")
        decode "$label" "$coded" "$decoded" || die "$label: decoding $name failed"
        alignArgs=()
        [ -z "${ZARN_PEAQ:-}" ] || [ $stereo = 1 ] || alignArgs=(--write "$scratch/ref.wav" "$scratch/test.wav")
        lag=0
        while read -r key number; do
            case "$key" in
                lag) lags[$label]+=" $number"; lag=$number ;;
                snr|segsnr) value[$label,$name,$key]=$number ;;
                correlation)
                    awk -v c="$number" 'BEGIN { exit !(c < 0.5) }' &&
                        echo "Warning: $label on $name lines up poorly (correlation $number)" >&2 ;;
            esac
        done < <("$align" "$original" "$decoded" "${alignArgs[@]}")
        # Both channels cut at the first one's lag, to the samples they share.
        if [ -n "${ZARN_PEAQ:-}" ] && [ $stereo = 1 ]; then
            refStart=0 testStart=0
            if [ "$lag" -ge 0 ]; then testStart=$lag; else refStart=$((-lag)); fi
            refLength=$(($(soxi -s "$original") - refStart))
            testLength=$(($(soxi -s "$decoded") - testStart))
            shared=$((refLength < testLength ? refLength : testLength))
            sox "$original" "$scratch/ref.wav" trim "${refStart}s" "${shared}s"
            sox "$decoded" -b 16 "$scratch/test.wav" trim "${testStart}s" "${shared}s"
        fi
        [ -z "${ZARN_PEAQ:-}" ] || value[$label,$name,odg]=$(peaqGrade "$scratch/ref.wav" "$scratch/test.wav")
    done
done

# --- The tables ---

describe() {
    case "$1" in
        odg) echo "Objective Difference Grade (ZARN_PEAQ; 0 imperceptible, -4 very annoying)" ;;
        snr) echo "SNR in dB over the whole recording" ;;
        segsnr) echo "Segmental SNR in dB (256-sample hops, each -10..60 dB, silent hops skipped)" ;;
    esac
}

for grade in "${grades[@]}"; do
    describe "$grade"
    printf '%-14s %7s %7s' codec target actual
    for name in "${names[@]}"; do printf ' %7s' "$name"; done
    printf ' %7s %7s %8s\n' mean worst "encode s"
    for row in "${rows[@]}"; do
        IFS='|' read -r codec label target <<<"$row"
        totalBytes=0
        coded=0
        line=""
        list=""
        for name in "${names[@]}"; do
            if [ -n "${value[$label,$name,refused]:-}" ]; then
                line+=$(printf ' %7s' refused)
                continue
            fi
            totalBytes=$((totalBytes + ${bytes[$label,$name]}))
            coded=$(awk -v a="$coded" -v b="${seconds[$name]}" 'BEGIN { print a + b }')
            line+=$(printf ' %7.2f' "${value[$label,$name,$grade]}")
            list+="${value[$label,$name,$grade]} "
        done
        if [ -z "$list" ]; then
            printf '%-14s %7s %7s%s\n' "$label" "$target" - "$line"
            continue
        fi
        actual=$(awk -v b="$totalBytes" -v s="$coded" 'BEGIN { printf "%.0f", b * 8 / s / 1000 }')
        stats=$(tr ' ' '\n' <<<"$list" | sed '/^$/d' |
            awk 'NR == 1 || $1 < w { w = $1 } { s += $1 } END { printf " %7.2f %7.2f", s / NR, w }')
        printf '%-14s %7s %7s%s%s %8.2f\n' "$label" "$target" "$actual" "$line" "$stats" "${encodeSeconds[$label]}"
    done
    echo
done

echo "Lag of each decoding behind its original, in samples (zarnalign), all rates:"
for codec in zarn lame opus mp2; do
    found=""
    for row in "${rows[@]}"; do
        IFS='|' read -r rowCodec label target <<<"$row"
        [ "$rowCodec" = "$codec" ] && found+="${lags[$label]:-} "
    done
    [ -z "${found// /}" ] || printf '  %-6s %s\n' "$codec" "$(tr ' ' '\n' <<<"$found" | sed '/^$/d' | sort -n | uniq | tr '\n' ' ')"
done
echo "Audio per codec and rate: $(awk -v a="$totalAudio" 'BEGIN { printf "%.1f", a }') s; actual kbit/s is the coded bytes x 8 over the recordings' duration"
