#!/usr/bin/env bash
# fault_matrix.sh SETUP_EXE BUILD_DIR [--full] [--only=FUNCTION]: runs fault_matrix.py in parts side
# by side (MEMOTACK_FAULT_PARTS, 2 by default, one per core), each in a fresh Wine prefix of its
# own, which is removed when no violation was found. The last line adds up what the parts found.
here="$(dirname "$(readlink -f "$0")")"
source "$here/../e2e/lib.sh"
parts="${MEMOTACK_FAULT_PARTS:-2}"
out="$BUILD_DIR/faults"
mkdir -p "$out"
rm -f "$out"/part-*.txt
pids=()
for part in $(seq "$parts"); do
    (
        fresh_prefix "faults-$part"
        status=0
        python3 "$here/fault_matrix.py" "$SETUP_EXE" "$BUILD_DIR" "--part=$part/$parts" "${@:3}" \
            >"$out/part-$part.txt" 2>&1 || status=$?
        wineserver -k >/dev/null 2>&1 || true
        if [ $status -eq 0 ] && [ -z "${MEMOTACK_KEEP_PREFIXES:-}" ]; then rm -rf "$WINEPREFIX"; fi
        exit $status
    ) &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
for part in $(seq "$parts"); do grep -v '^fault injection: ' "$out/part-$part.txt"; done
# "fault injection: C calls, R runs, V violations" of each part, added up.
# A part that ended without its line (a traceback) fails the test.
summary=$(cat "$out"/part-*.txt | awk -v parts="$parts" '/^fault injection: / { c += $3; r += $5; v += $7; n++ }
    END { printf "fault injection: %d calls, %d runs, %d violations", c, r, v; exit n != parts }') || status=1
echo "$summary"
[ "$(cut -d' ' -f7 <<<"$summary")" = 0 ] || status=1
exit $status
