#!/bin/sh
# korvel-cli report end to end: the real program, without a display, writes PDFs that read
# back with the school's data; wrong arguments and unknown objects fail with their status.
set -u
cli="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cli" sample --size small --seed 3 "$tmp/school" >/dev/null || fail "sample"
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" "$@"; }

run report group --object 1 "$tmp/school" --pdf "$tmp/group.pdf" >/dev/null || fail "group report"
text=$(pdftotext -layout "$tmp/group.pdf" -) || fail "pdftotext group"
for w in "Расписание уроков" "Утверждаю" "Понедельник" "Урок"; do
    echo "$text" | grep -q "$w" || fail "group report lacks $w"
done

run report plan "$tmp/school" --pdf "$tmp/plan.pdf" >/dev/null || fail "plan report"
text=$(pdftotext -layout "$tmp/plan.pdf" -)
echo "$text" | grep -q "Учебный план" || fail "plan caption"
echo "$text" | grep -q "Итого" || fail "plan totals"

run report load "$tmp/school" --pdf "$tmp/load.pdf" >/dev/null || fail "load report"
pdftotext "$tmp/load.pdf" - | grep -q "Всего" || fail "load totals"

run report group --object 9999 "$tmp/school" --pdf "$tmp/x.pdf" 2>/dev/null
[ $? -eq 1 ] || fail "unknown object must fail with 1"
[ -e "$tmp/x.pdf" ] && fail "no file for a failed report"
run report lessons "$tmp/school" --pdf "$tmp/x.pdf" 2>/dev/null
[ $? -eq 2 ] || fail "unknown kind must be bad usage"
run report plan "$tmp/school" 2>/dev/null
[ $? -eq 2 ] || fail "missing --pdf must be bad usage"
echo "ok"
