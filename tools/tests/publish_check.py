#!/usr/bin/env python3
"""Reads what `korvel-cli publish` wrote with independent readers (html5lib, icalendar,
openpyxl, csv) and compares it with the timetable in the school's data files: every placed
lesson appears exactly once per object and date, and nothing else does.

usage: publish_check.py SCHOOL OUT [OUT_AGAIN]   (OUT_AGAIN: a second publication, same UIDs)
"""
import collections, csv, datetime, glob, os, re, sys

import html5lib
import icalendar
import openpyxl

import school_db

school, out = sys.argv[1], sys.argv[2]
failures = []


def fail(text):
    failures.append(text)


# --- the timetable, straight from the data files -----------------------------------------
tables, q = school_db.open_tables(school)


ini = {}
section = None
raw = open(os.path.join(school, 'Korvel.ini'), 'rb').read()
try:
    text = raw.decode('utf-8-sig')
except UnicodeDecodeError:
    text = raw.decode('cp1251')
for line in text.splitlines():
    line = line.strip()
    if line.startswith('['):
        section = line.strip('[]').lower()
    elif '=' in line:
        k, v = line.split('=', 1)
        ini[(section, k.strip().lower())] = v.strip().strip('"')

weeks = max(1, int(ini.get(('preserved', 'glo:weeksincycle'), '1') or 1))
days = [n.rstrip() for (n,) in q('DAYS', 'select DayName from DAYS order by DaySeqNumber')]
day_no = {s: i for i, (s,) in enumerate(q('DAYS', 'select DaySeqNumber from DAYS order by DaySeqNumber'))}
bells = {n.strip(): (b, e) for n, b, e in q('LESSONBELL', 'select LessonNo, Begining, Ending from LESSONBELL')}
groups = {c: (a + b + l).strip() for c, a, b, l in q('GROUP', 'select GroupCode, Course, Defis, Literal from "GROUP"')}
teachers = {c: n.rstrip() for c, n in q('TEACHER', 'select TeacherCode, TeacherName from TEACHER') if c}
rooms = {c: n.rstrip() for c, n in q('ROOM', 'select RoomCode, RoomNo from ROOM')}
subjects = {c: n.rstrip() for c, n in q('SCIENCE', 'select ScienceCode, Science from SCIENCE')}


def hhmm(t):
    m = (t - 1) // 6000
    return '%02d:%02d' % (m // 60 % 24, m % 60)


# A lesson: (week, day index, lesson number, group name, has subgroup, subject, teacher, room)
lessons = []
for w, d, n, g, sg, s, t, r in q('SCHEDULE', 'select Week, DaySeqNumber, LessonNo, GroupCode, '
                                 'SubGroupNum, ScienceCode, TeacherCode, RoomCode from SCHEDULE'):
    if w == 0 or not n.strip() or d not in day_no or n.strip() not in bells or w > weeks:
        continue
    lessons.append(dict(week=w, day=day_no[d], no=n.strip(), g=g, sub=sg != 0, subject=subjects.get(s, ''),
                        group=groups.get(g, ''), t=t, teacher=teachers.get(t, ''), r=r, room=rooms.get(r, '')))
if len(lessons) < 50:
    fail('the school has too few placed lessons (%d) to check anything' % len(lessons))


def key(l):
    return (l['week'], l['day'], l['no'], l['group'], l['sub'], l['subject'], l['teacher'], l['room'])


objects = [('group', c, lambda l, c=c: l['g'] == c) for c in groups] + \
          [('teacher', c, lambda l, c=c: l['t'] == c) for c in teachers] + \
          [('room', c, lambda l, c=c: l['r'] == c) for c in rooms]

# The teaching dates, from the calendar section of the settings.
first = datetime.date.fromisoformat(ini[('schoolcalendar', 'firstday')])
last = datetime.date.fromisoformat(ini[('schoolcalendar', 'lastday')])
holidays = set()
for part in ini.get(('schoolcalendar', 'holidays'), '').split(','):
    if part.strip():
        a, _, b = part.strip().partition('..')
        a = datetime.date.fromisoformat(a)
        b = datetime.date.fromisoformat(b) if b else a
        while a <= b:
            holidays.add(a)
            a += datetime.timedelta(days=1)
start_monday = first - datetime.timedelta(days=first.weekday())
dates = []
d = first
while d <= last:
    if d not in holidays and d.weekday() < len(days):
        dates.append((d, ((d - datetime.timedelta(days=d.weekday()) - start_monday).days // 7) % weeks + 1))
    d += datetime.timedelta(days=1)
if not any(h.weekday() < len(days) and first <= h <= last for h in holidays):
    fail('the test calendar must hold a holiday on a school day')


def compare(where, got, expected):
    got, expected = collections.Counter(got), collections.Counter(expected)
    if got != expected:
        fail('%s: missing %s; invented %s' % (where, list((expected - got).items())[:3],
                                              list((got - expected).items())[:3]))


# --- HTML --------------------------------------------------------------------------------
NS = '{http://www.w3.org/1999/xhtml}'


def parse_html(path):
    with open(path, 'rb') as f:
        parser = html5lib.HTMLParser(strict=True)
        doc = parser.parse(f)
    if doc.get('lang') != 'ru':
        fail('%s: lang is not ru' % path)
    return doc


def text_of(e):
    return ''.join(e.itertext()).strip()


def group_of(label):
    names = [g for g in groups.values() if label.startswith(g)]
    return max(names, key=len) if names else ''


def lesson_key(week, col, no, div, kind, own):
    """A lesson div of an object's page as a key, the page's own object filled in."""
    f = {sp.get('class'): text_of(sp) for sp in div.findall(NS + 'span')}
    sub = div.get('data-sub') != '0'
    room = f.get('r', '').replace('каб. ', '', 1)
    if kind == 'group':
        return (week, col, no, own, sub, f.get('s', ''), f.get('t', ''), room)
    if kind == 'teacher':
        return (week, col, no, group_of(f.get('g', '')), sub, f.get('s', ''), own, room)
    return (week, col, no, group_of(f.get('g', '')), sub, f.get('s', ''), f.get('t', ''), own)


def html_lessons(path, kind, own):
    """Lessons of a page: (key) per lesson div, the page's own object filled in."""
    doc = parse_html(path)
    found = []
    for sec in doc.iter(NS + 'section'):
        week = int(sec.get('id')[1:])
        table = sec.find('.//' + NS + 'table')
        heads = [th for th in table.find(NS + 'thead').iter(NS + 'th')]
        if any(th.get('scope') != 'col' for th in heads):
            fail('%s: a column header without scope' % path)
        cols = [text_of(th) for th in heads[1:]]
        for tr in table.find(NS + 'tbody').iter(NS + 'tr'):
            th = tr.find(NS + 'th')
            if th.get('scope') != 'row':
                fail('%s: a row header without scope' % path)
            no = text_of(th).split(' урок')[0]
            for col, td in zip(cols, tr.findall(NS + 'td')):
                for div in td.findall(NS + 'div'):
                    found.append(lesson_key(week, col, no, div, kind, own))
    return found


def phone_cells(path, kind, own):
    """The same lessons as the narrow screen's day lists show them: each day's bells in a list."""
    doc = parse_html(path)
    out = []
    for sec in doc.iter(NS + 'section'):
        week = int(sec.get('id')[1:])
        days_div = [d for d in sec.iter(NS + 'div') if d.get('class') == 'days']
        if len(days_div) != 1:
            fail('%s: week %d has no day lists for phones' % (path, week))
            continue
        for day in days_div[0].findall(NS + 'div'):
            col = text_of(day.find(NS + 'h3'))
            ol = day.find(NS + 'ol')
            for li in ([] if ol is None else ol.findall(NS + 'li')):
                no = text_of(li.find(NS + 'span')).split(' урок')[0]
                box = li.find(NS + 'div')
                for div in ([] if box is None else box.findall(NS + 'div')):
                    out.append(lesson_key(week, col, no, div, kind, own))
    return out


def with_day_names(k):
    return (k[0], days[k[1]]) + k[2:]


names = {'group': groups, 'teacher': teachers, 'room': rooms}
for kind, code, mine in objects:
    path = os.path.join(out, '%s-%d.html' % (kind, code))
    if not os.path.exists(path):
        fail('no page %s' % path)
        continue
    page_links = {a.get('href') for a in parse_html(path).iter(NS + 'a')}
    if 'ics/%s-%d.ics' % (kind, code) not in page_links:
        fail('%s has no link to its calendar' % path)
    expected = [with_day_names(key(l)) for l in lessons if mine(l)]
    compare(path, html_lessons(path, kind, names[kind][code]), expected)
    compare(path + ' (phone)', phone_cells(path, kind, names[kind][code]), expected)
for i, name in enumerate(days):
    path = os.path.join(out, 'day-%d.html' % (i + 1))
    doc = parse_html(path)
    got = []
    for sec in doc.iter(NS + 'section'):
        week = int(sec.get('id')[1:])
        table = sec.find('.//' + NS + 'table')
        cols = [text_of(th) for th in table.find(NS + 'thead').iter(NS + 'th')][1:]
        for tr in table.find(NS + 'tbody').iter(NS + 'tr'):
            no = text_of(tr.find(NS + 'th')).split(' урок')[0]
            for col, td in zip(cols, tr.findall(NS + 'td')):
                for div in td.findall(NS + 'div'):
                    f = {sp.get('class'): text_of(sp) for sp in div.findall(NS + 'span')}
                    got.append((week, name, no, col, div.get('data-sub') != '0', f.get('s', ''),
                                f.get('t', ''), f.get('r', '').replace('каб. ', '', 1)))
    compare(path, got, [with_day_names(key(l)) for l in lessons if l['day'] == i and l['group']])
index = parse_html(os.path.join(out, 'index.html'))
links = {a.get('href') for a in index.iter(NS + 'a')}
for kind, code, _ in objects:
    if '%s-%d.html' % (kind, code) not in links:
        fail('index.html has no link to %s %d' % (kind, code))

# --- iCalendar -----------------------------------------------------------------------------
uids = {}
for kind, code, mine in objects:
    path = os.path.join(out, 'ics', '%s-%d.ics' % (kind, code))
    cal = icalendar.Calendar.from_ical(open(path, 'rb').read())
    if not cal.walk('VTIMEZONE') or str(cal.walk('VTIMEZONE')[0]['TZID']) != 'Europe/Moscow':
        fail('%s: no VTIMEZONE of Europe/Moscow' % path)
    got = []
    for ev in cal.walk('VEVENT'):
        start = ev.decoded('DTSTART')
        if str(ev['DTSTART'].params.get('TZID')) != 'Europe/Moscow':
            fail('%s: an event outside the school time zone' % path)
        if start.date() in holidays:
            fail('%s: an event on a holiday %s' % (path, start.date()))
        f = dict(line.split(': ', 1) for line in str(ev['DESCRIPTION']).split('\n'))
        label = f.get('Класс', '')
        got.append((start.date(), start.strftime('%H:%M'), ev.decoded('DTEND').strftime('%H:%M'),
                    f['Урок'], group_of(label), label != group_of(label), f['Предмет'],
                    f.get('Учитель', ''), f.get('Кабинет', '')))
        uid = str(ev['UID'])
        if uid in uids:
            fail('%s: UID %s used twice' % (path, uid))
        uids[uid] = path
    expected = []
    for d, week in dates:
        for l in lessons:
            if mine(l) and l['week'] == week and l['day'] == d.weekday():
                b, e = bells[l['no']]
                expected.append((d, hhmm(b), hhmm(e), l['no'], l['group'], l['sub'], l['subject'],
                                 l['teacher'], l['room']))
    compare(path, got, expected)
if len(sys.argv) > 3:
    again = set()
    for path in glob.glob(os.path.join(sys.argv[3], 'ics', '*.ics')):
        for ev in icalendar.Calendar.from_ical(open(path, 'rb').read()).walk('VEVENT'):
            again.add(str(ev['UID']))
    if again != set(uids):
        fail('a second publication changed %d UIDs' % len(again ^ set(uids)))

# --- CSV -----------------------------------------------------------------------------------
raw = open(os.path.join(out, 'schedule.csv'), 'rb').read()
if not raw.startswith(b'\xef\xbb\xbf'):
    fail('schedule.csv has no byte-order mark')
rows = list(csv.reader(raw.decode('utf-8-sig').splitlines(), delimiter=';'))
if rows[0] != ['Дата', 'День недели', 'Неделя цикла', 'Урок', 'Начало', 'Окончание', 'Класс',
               'Подгруппа', 'Предмет', 'Учитель', 'Кабинет']:
    fail('schedule.csv columns: %s' % rows[0])
got = [(datetime.datetime.strptime(r[0], '%d.%m.%Y').date(), r[1], int(r[2]), r[3], r[4], r[5], r[6],
        r[7] != '', r[8], r[9], r[10]) for r in rows[1:]]
expected = []
for d, week in dates:
    for l in lessons:
        if l['week'] == week and l['day'] == d.weekday():
            b, e = bells[l['no']]
            expected.append((d, days[l['day']], week, l['no'], hhmm(b), hhmm(e), l['group'], l['sub'],
                             l['subject'], l['teacher'], l['room']))
compare('schedule.csv', got, expected)

# --- xlsx ----------------------------------------------------------------------------------
book = openpyxl.load_workbook(os.path.join(out, 'schedule.xlsx'), read_only=True)


def xlsx_lesson(line, kind, own):
    parts = line.split(' — ')
    m = re.match(r'^\[[^\]]*\] (.*)$', parts[0])
    subject = m.group(1) if m else parts[0]
    room = parts.pop()[5:] if len(parts) > 1 and parts[-1].startswith('каб. ') else ''
    other = parts[1] if len(parts) > 1 else ''
    if kind == 'group':
        return own, m is not None, subject, other, room
    return group_of(other), other != group_of(other), subject, own, room


wall = book['Сводное расписание']
wall_rows = list(wall.iter_rows(values_only=True))
heads = wall_rows[0]
got = []
for r in wall_rows[1:]:
    for col in range(3, len(heads)):
        for line in (r[col] or '').split('\n'):
            if line:
                got.append((int(r[0]), r[1], r[2].split(' урок')[0]) + xlsx_lesson(line, 'group', heads[col])[:5])
compare('wall chart', got, [with_day_names(key(l))[:4] + key(l)[4:] for l in lessons if l['group']])
sheets = 0
by_name = {('group', n): c for c, n in groups.items()}
by_name.update({('teacher', n): c for c, n in teachers.items()})
for ws in book.worksheets[1:]:
    rows = list(ws.iter_rows(values_only=True))
    title = rows[0][0].replace('Расписание уроков: ', '', 1)
    kind = 'group' if ('group', title) in by_name else 'teacher'
    code = by_name[(kind, title)]
    got, week, cols = [], 1, []
    for r in rows[1:]:
        if r[0] and r[0].endswith('-я неделя'):
            week = int(r[0].split('-')[0])
        elif r[0] == 'Урок':
            cols = list(r[1:])
        elif r[0]:
            for day, cell in zip(cols, r[1:]):
                for line in (cell or '').split('\n'):
                    if line:
                        got.append((week, day, r[0].split(' урок')[0]) + xlsx_lesson(line, kind, title))
    mine = (lambda l: l['g'] == code) if kind == 'group' else (lambda l: l['t'] == code)
    compare('sheet ' + title, got, [with_day_names(key(l)) for l in lessons if mine(l)])
    sheets += 1
if sheets != len(groups) + len(teachers):
    fail('the workbook has %d object sheets, expected %d' % (sheets, len(groups) + len(teachers)))

for f in failures[:20]:
    print('FAIL:', f)
print('checked %d lessons, %d teaching dates, %d events' % (len(lessons), len(dates), len(uids)))
sys.exit(1 if failures else 0)
