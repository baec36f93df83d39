#!/bin/sh
# korvel-cli publish --upload against a PUT server of our own (put_server.py): the first upload
# sends every file, index.html last; again with nothing changed sends nothing; a lesson in
# another room sends exactly the files whose bytes changed; a server failing one file ends
# with exit 1 naming it, the manifest as it was, so the retry sends all changed files again.
set -u
cli="$1"
tmp=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid"; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" "$@"; }

run sample --size small --weeks 1 --seed 3 "$tmp/school" >/dev/null || fail "sample"
run place --answer yes "$tmp/school" >/dev/null 2>&1
printf '\n[SchoolCalendar]\nFirstDay=2026-09-01\nLastDay=2026-09-30\n' >>"$tmp/school/Korvel.ini"
mkdir -p "$tmp/www/site"
/usr/bin/python3 "$2" "$tmp/www" "$tmp/log" "$tmp/port" &
pid=$!
for _ in $(seq 100); do [ -s "$tmp/port" ] && break; sleep 0.1; done
site="http://127.0.0.1:$(cat "$tmp/port")/site/"
export KORVEL_UPLOAD_PASSWORD='s3cret-pw'
publish() { : >"$tmp/log"; run publish "$tmp/school" --out "$tmp/out" --upload "$site" --user officer >"$tmp/stdout" 2>"$tmp/stderr"; }
puts() { grep '^PUT ' "$tmp/log" | sed 's|^PUT /site/||; s| .*||'; }
changed() { for f in $files; do cmp -s "$tmp/out/$f" "$tmp/before/$f" || echo "$f"; done; }
move() { # one placed lesson into another room
    rm -rf "$tmp/before" && cp -r "$tmp/out" "$tmp/before"
    sqlite3 "$tmp/school/Schedule.db" "UPDATE SCHEDULE SET RoomCode = $1 WHERE rowid = (SELECT min(rowid)
      FROM SCHEDULE WHERE DaySeqNumber > 0 AND RoomCode <> $1)" || fail "sqlite3"
}

publish || fail "first upload: $(cat "$tmp/stderr")"
files=$(cd "$tmp/out" && find . -type f ! -name '.korvel-*' | sed 's|^\./||' | sort)
total=$(echo "$files" | wc -l)
[ "$(puts | sort)" = "$files" ] || fail "the first upload must send every published file once"
[ "$(puts | tail -n 1)" = "index.html" ] || fail "index.html must be sent last, not $(puts | tail -n 1)"
grep -q '^MKCOL /site/ics/ ' "$tmp/log" || fail "the calendars' folder was not made"
grep '^PUT ' "$tmp/log" | grep -qv ' officer:s3cret-pw$' && fail "a file was sent without the login"
for f in $files; do cmp -s "$tmp/out/$f" "$tmp/www/site/$f" || fail "$f differs on the site"; done
grep -qx "Отправлено файлов: $total, без изменений: 0, адрес: $site" "$tmp/stdout" || fail "summary: $(cat "$tmp/stdout")"

publish || fail "second upload: $(cat "$tmp/stderr")"
[ -z "$(puts)" ] || fail "nothing changed, yet sent: $(puts | tr '\n' ' ')"
grep -qx "Отправлено файлов: 0, без изменений: $total, адрес: $site" "$tmp/stdout" || fail "summary: $(cat "$tmp/stdout")"

move "(SELECT max(RoomCode) FROM SCHEDULE)"
publish || fail "third upload: $(cat "$tmp/stderr")"
[ -n "$(changed)" ] && [ "$(changed | wc -l)" -lt "$total" ] || fail "one lesson moved changed $(changed | wc -l) files"
[ "$(puts | sort)" = "$(changed)" ] || fail "sent $(puts | tr '\n' ' ') instead of the changed $(changed | tr '\n' ' ')"

cp "$tmp/out/.korvel-upload.json" "$tmp/manifest"
move 0
echo /site/schedule.csv >"$tmp/fail"
publish
[ $? -eq 1 ] || fail "a failed file must end with exit 1"
tail -n 1 "$tmp/stderr" | grep -q "schedule.csv.*HTTP 500" || fail "the failure must name file and status: $(cat "$tmp/stderr")"
grep -q "Отправлено файлов" "$tmp/stdout" && fail "a failure reported as sent"
cmp -s "$tmp/out/.korvel-upload.json" "$tmp/manifest" || fail "the manifest changed although a file failed"
rm "$tmp/fail"
publish || fail "retry: $(cat "$tmp/stderr")"
changed | grep -qx schedule.csv || fail "the room change did not reach the CSV"
[ "$(puts | sort)" = "$(changed)" ] || fail "the retry sent $(puts | tr '\n' ' ') instead of $(changed | tr '\n' ' ')"
grep -q "s3cret-pw" "$tmp/stdout" "$tmp/stderr" "$tmp/out/.korvel-upload.json" && fail "the password shows"

# A local folder as the target; a file gone from the folder is listed, not deleted.
run publish "$tmp/school" --out "$tmp/out" --upload "file://$tmp/mirror/" >/dev/null || fail "file:// upload"
rm "$tmp/out/schedule.csv"
run publish --formats html,ics,xlsx "$tmp/school" --out "$tmp/out" --upload "file://$tmp/mirror/" >"$tmp/stdout" || fail "file://"
grep -qx "на сайте остались файлы, которых больше нет: schedule.csv" "$tmp/stdout" || fail "not listed: $(cat "$tmp/stdout")"
for f in $files; do [ "$f" = schedule.csv ] || cmp -s "$tmp/out/$f" "$tmp/mirror/$f" || fail "$f differs in the mirror"; done
[ -e "$tmp/mirror/schedule.csv" ] || fail "a file was deleted from the site"
echo "upload: ok"
