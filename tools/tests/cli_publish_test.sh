#!/bin/sh
# korvel-cli publish end to end: a placed sample school with a two-week cycle and a calendar
# with holidays is published in every format, and the independent readers of
# publish_check.py compare what was written with the data files. A second publication must
# keep every calendar UID. The readers are the Debian packages of /usr/bin/python3. With
# chromium installed, one page is also opened and drawn by a
# real browser.
set -u
cli="$1"
checker="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" "$@"; }

run sample --size small --weeks 2 --seed 5 "$tmp/school" >/dev/null || fail "sample"
run place --answer yes "$tmp/school" >/dev/null 2>&1
# Autumn term with a week of holidays and a single holiday; Korvel.ini has CRLF line ends.
printf '\r\n[SchoolCalendar]\r\nFirstDay=2026-09-01\r\nLastDay=2026-11-30\r\nHolidays=2026-10-26..2026-11-03, 2026-11-04\r\nTimeZone=Europe/Moscow\r\n' \
    >>"$tmp/school/Korvel.ini"

run publish "$tmp/school" "$tmp/out" >"$tmp/stdout" || fail "publish"
grep -q "schedule.xlsx" "$tmp/stdout" || fail "the report names the workbook"
run publish --formats ics "$tmp/school" "$tmp/again" >/dev/null || fail "second publish"
/usr/bin/python3 "$checker" "$tmp/school" "$tmp/out" "$tmp/again" || fail "published files disagree with the timetable"

# A publication into the school's own files, a link or a file is refused and writes nothing.
mkdir "$tmp/linked" && ln -s "$tmp/elsewhere.csv" "$tmp/linked/schedule.csv"
run publish --formats html,csv "$tmp/school" "$tmp/linked" >/dev/null 2>"$tmp/err"
[ $? -eq 1 ] || fail "a link in the output folder must fail with 1"
grep -q "schedule.csv" "$tmp/err" || fail "the refusal names the link: $(cat "$tmp/err")"
[ -e "$tmp/elsewhere.csv" ] && fail "written through a link"
[ -e "$tmp/linked/index.html" ] && fail "pages written although the publication was refused"
run publish "$tmp/school" "$tmp/out/index.html" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a file as the output folder must fail with 1"
run publish --formats html --from 2026-09-01 "$tmp/school" "$tmp/x" >/dev/null 2>&1
[ $? -eq 2 ] || fail "half a period is a usage error"

if command -v chromium >/dev/null 2>&1; then
    page="$tmp/out/group-1.html"
    [ -e "$page" ] || page="$tmp/out/index.html"
    timeout 60 chromium --headless --no-sandbox --disable-gpu --screenshot="$tmp/shot.png" \
        --window-size=1280,900 "file://$page" >/dev/null 2>&1 || fail "chromium could not open $page"
    [ -s "$tmp/shot.png" ] || fail "no screenshot"
else
    echo "chromium is not installed: the browser check is skipped"
fi
echo "publish: ok"
