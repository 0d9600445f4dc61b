#!/usr/bin/env bash
# Regenerates the reference full-context labels that tst_tts_hts_labels compares our label writer with:
# festival's front end and label dump for the HTS voice, one file per line of sentences.txt (01.lab, 02.lab, ...),
# without festival's segment times. Needs the Debian packages festival and festvox-us-slt-hts (tools/install-deps.sh
# installs them); festival is used only here, never by the program.
# Usage: tools/hts-reference-labels.sh [folder]   (default: tests/tts/hts-labels)
set -euo pipefail

folder=$(realpath "${1:-$(dirname "$0")/../tests/tts/hts-labels}")
sentences=$folder/sentences.txt
command -v festival >/dev/null || { echo "error: festival is not installed (tools/install-deps.sh)" >&2; exit 1; }
[[ -r $sentences ]] || { echo "error: no $sentences" >&2; exit 1; }

script=$(mktemp --suffix=.scm)
trap 'rm -f "$script"' EXIT
n=0
while IFS= read -r sentence || [[ -n $sentence ]]; do
    [[ -z $sentence ]] && continue
    n=$((n + 1))
    out=$(printf '%s/%02d.lab' "$folder" "$n")
    # A scheme string literal: backslashes and double quotes escaped.
    quoted=$(printf '%s' "$sentence" | sed 's/\\/\\\\/g; s/"/\\"/g')
    cat >"$script" <<SCM
(voice_cmu_us_slt_arctic_hts)
(set! utt (Utterance Text "$quoted"))
(utt.synth utt)
(mapcar (lambda (label) (format t "%s" label)) (hts_dump_feats_string_list utt hts_feats_list))
SCM
    # Each line starts with the segment's start and end time; the labels the voice reads follow them.
    festival -b "$script" | sed -E 's/^ *[0-9]+ +[0-9]+ //' >"$out"
    [[ -s $out ]] || { echo "error: festival wrote no labels for: $sentence" >&2; exit 1; }
    echo "$out: $(wc -l <"$out") labels"
done <"$sentences"
