#!/bin/sh
# korvel-cli publish --upload end to end against a small PUT server of our own
# (put_server.py): the first upload sends every file with index.html last, the same
# publication again sends nothing, one lesson moved to another room sends exactly the files
# whose bytes changed, a server failing one file ends with exit 1 naming it and leaves the
# manifest as it was, and the next attempt sends what is still missing. The password comes
# from the environment and shows in no output.
set -u
cli="$1"
server="$2"
tmp=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid"; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" "$@"; }

run sample --size small --weeks 1 --seed 3 "$tmp/school" >/dev/null || fail "sample"
run place --answer yes "$tmp/school" >/dev/null 2>&1
printf '\n[SchoolCalendar]\nFirstDay=2026-09-01\nLastDay=2026-09-30\nTimeZone=Europe/Moscow\n' >>"$tmp/school/Korvel.ini"

mkdir -p "$tmp/www/site"
/usr/bin/python3 "$server" "$tmp/www" "$tmp/log" "$tmp/port" &
pid=$!
for _ in $(seq 100); do [ -s "$tmp/port" ] && break; sleep 0.1; done
[ -s "$tmp/port" ] || fail "the test server did not start"
site="http://127.0.0.1:$(cat "$tmp/port")/site/"
export KORVEL_UPLOAD_PASSWORD='s3cret-pw'
publish() { run publish "$tmp/school" --out "$tmp/out" --upload "$site" --user officer >"$tmp/stdout" 2>"$tmp/stderr"; }
puts() { grep '^PUT ' "$tmp/log" | sed 's|^PUT /site/||; s| .*||'; }

# 1. Everything, index.html last, as the officer, and the site holds the folder's files.
publish || fail "first upload: $(cat "$tmp/stderr")"
files=$(cd "$tmp/out" && find . -type f ! -name '.korvel-upload.json' | sed 's|^\./||' | sort)
[ "$(puts | sort)" = "$files" ] || fail "the first upload must send every published file once"
[ "$(puts | tail -n 1)" = "index.html" ] || fail "index.html must be sent last, not $(puts | tail -n 1)"
grep -q '^MKCOL /site/ics/ ' "$tmp/log" || fail "the calendars' folder was not made"
grep '^PUT ' "$tmp/log" | grep -qv ' officer:s3cret-pw$' && fail "a file was sent without the login"
for f in $files; do cmp -s "$tmp/out/$f" "$tmp/www/site/$f" || fail "$f differs on the site"; done
total=$(echo "$files" | wc -l)
grep -qx "Отправлено файлов: $total, без изменений: 0, адрес: $site" "$tmp/stdout" || fail "first summary: $(cat "$tmp/stdout")"
cp "$tmp/out/.korvel-upload.json" "$tmp/manifest1"

# 2. Published again with nothing changed: nothing is sent.
: >"$tmp/log"
publish || fail "second upload: $(cat "$tmp/stderr")"
[ -z "$(puts)" ] || fail "nothing changed, yet sent: $(puts | tr '\n' ' ')"
grep -qx "Отправлено файлов: 0, без изменений: $total, адрес: $site" "$tmp/stdout" || fail "second summary: $(cat "$tmp/stdout")"

# 3. One lesson in another room: exactly the files whose bytes changed are sent.
cp -r "$tmp/out" "$tmp/before"
sqlite3 "$tmp/school/Schedule.db" "UPDATE SCHEDULE SET RoomCode = (SELECT max(RoomCode) FROM SCHEDULE)
  WHERE rowid = (SELECT min(rowid) FROM SCHEDULE WHERE DaySeqNumber > 0 AND RoomCode <> (SELECT max(RoomCode) FROM SCHEDULE))" ||
    fail "sqlite3"
: >"$tmp/log"
publish || fail "third upload: $(cat "$tmp/stderr")"
changed=$(for f in $files; do cmp -s "$tmp/out/$f" "$tmp/before/$f" || echo "$f"; done)
[ -n "$changed" ] || fail "moving a lesson changed no published file"
[ "$(echo "$changed" | wc -l)" -lt "$total" ] || fail "moving one lesson changed every file"
[ "$(puts | sort)" = "$changed" ] || fail "sent $(puts | tr '\n' ' ') instead of the changed $(echo $changed)"

# 4. The server fails one file: exit 1 naming it, the manifest untouched; then a retry.
cp "$tmp/out/.korvel-upload.json" "$tmp/manifest3"
rm -rf "$tmp/before" && cp -r "$tmp/out" "$tmp/before"
sqlite3 "$tmp/school/Schedule.db" "UPDATE SCHEDULE SET RoomCode = 0 WHERE rowid = (SELECT min(rowid) FROM SCHEDULE WHERE DaySeqNumber > 0 AND RoomCode <> 0)"
echo /site/schedule.csv >"$tmp/fail"
: >"$tmp/log"
publish
[ $? -eq 1 ] || fail "a failed file must end with exit 1"
tail -n 1 "$tmp/stderr" | grep -q "schedule.csv.*HTTP 500" || fail "the failure must name the file and status: $(cat "$tmp/stderr")"
grep -q "Отправлено файлов" "$tmp/stdout" && fail "a failure reported as sent"
cmp -s "$tmp/out/.korvel-upload.json" "$tmp/manifest3" || fail "the manifest changed although a file failed"
rm "$tmp/fail"
: >"$tmp/log"
publish || fail "retry: $(cat "$tmp/stderr")"
# Those sent before the failure go again: the manifest never said they arrived.
changed=$(for f in $files; do cmp -s "$tmp/out/$f" "$tmp/before/$f" || echo "$f"; done)
echo "$changed" | grep -qx schedule.csv || fail "the room change did not reach the CSV"
[ "$(puts | sort)" = "$changed" ] || fail "the retry sent $(puts | tr '\n' ' ') instead of $(echo $changed)"
grep -q "s3cret-pw" "$tmp/stdout" "$tmp/stderr" "$tmp/out/.korvel-upload.json" && fail "the password shows in the output"

# 5. A local folder as the target (file://); a file removed locally is listed, not deleted.
run publish "$tmp/school" --out "$tmp/out" --upload "file://$tmp/mirror/" >/dev/null || fail "file:// upload"
for f in $files; do cmp -s "$tmp/out/$f" "$tmp/mirror/$f" || fail "$f differs in the mirror"; done
rm "$tmp/out/schedule.csv"
run publish --formats html,ics,xlsx "$tmp/school" --out "$tmp/out" --upload "file://$tmp/mirror/" >"$tmp/stdout" || fail "file:// again"
grep -qx "на сайте остались файлы, которых больше нет: schedule.csv" "$tmp/stdout" || fail "removed file not listed: $(cat "$tmp/stdout")"
[ -e "$tmp/mirror/schedule.csv" ] || fail "a file was deleted from the site"
echo "upload: ok"
