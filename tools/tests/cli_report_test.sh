#!/bin/sh
# korvel-cli report end to end: the real program, without a display, writes PDFs and workbooks
# that read back with the school's data (the workbooks through openpyxl in report_xlsx_check.py);
# wrong arguments and unknown objects fail with their status.
set -u
cli="$1"
checker="$2"
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

# Workbooks of a placed school with a two-week cycle: the plan (totals) and every teacher (week
# bands); the load as PDF and workbook from one command.
run sample --size small --weeks 2 --seed 5 "$tmp/placed" >/dev/null || fail "sample 2 weeks"
run place --answer yes "$tmp/placed" >/dev/null 2>&1 || fail "place"
run report plan "$tmp/placed" --xlsx "$tmp/plan.xlsx" >/dev/null || fail "plan workbook"
run report teacher "$tmp/placed" --xlsx "$tmp/teachers.xlsx" >/dev/null || fail "teachers workbook"
run report load "$tmp/placed" --pdf "$tmp/load2.pdf" --xlsx "$tmp/load.xlsx" >"$tmp/out" ||
    fail "load workbook and PDF"
[ "$(grep -c "Отчёт записан" "$tmp/out")" -eq 2 ] || fail "both files named: $(cat "$tmp/out")"
/usr/bin/python3 "$checker" "$tmp/placed" "$tmp/plan.xlsx" "$tmp/teachers.xlsx" ||
    fail "workbooks disagree with the school"
run report plan "$tmp/placed" --xlsx "$tmp/placed/Teacher.db" 2>/dev/null
[ $? -eq 1 ] || fail "a workbook over a data file must fail with 1"
echo "ok"
