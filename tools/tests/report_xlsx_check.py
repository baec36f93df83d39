#!/usr/bin/env python3
"""Reads the workbooks of `korvel-cli report --xlsx` with openpyxl and compares them with the
school's data files: sheet names, header rows, clean cell texts, numbers as numbers, merged
bands, bold totals.

usage: report_xlsx_check.py SCHOOL PLAN.xlsx TEACHERS.xlsx LOAD.xlsx
"""
import collections, glob, os, sqlite3, sys

import openpyxl

school, plan_file, teachers_file, load_file = sys.argv[1:5]
failures = []


def fail(text):
    failures.append(text)


tables = {}
for path in glob.glob(os.path.join(school, '*.db')):
    con = sqlite3.connect('file:%s?mode=ro' % path, uri=True)
    for (name,) in con.execute("select name from sqlite_master where type='table'"):
        tables[name] = con


def q(table, sql):
    return tables[table].execute(sql).fetchall()


def load(path):
    return openpyxl.load_workbook(path)  # not read-only: merged cells and panes are wanted


def every_cell_clean(book, name):
    """No cell keeps the paper layout's padding: no blank at either end of a line, no run of
    blanks, no carriage return."""
    for ws in book.worksheets:
        for row in ws.iter_rows():
            for c in row:
                if not isinstance(c.value, str):
                    continue
                for line in c.value.split('\n'):
                    if line != line.strip() or '  ' in line or '\r' in line:
                        fail('%s, sheet %s, %s: padded text %r' % (name, ws.title, c.coordinate, c.value))
                        return


def header_rows(ws, first):
    return [r for r in range(1, ws.max_row + 1) if ws.cell(r, 1).value == first]


groups = {c: (co, (a + b + l).strip(), s) for c, co, a, b, l, s in
          q('GROUP', 'select GroupCode, Course, Course, Defis, Literal, StreamCode from "GROUP"')}
teachers = {c: n.strip() for c, n in q('TEACHER', 'select TeacherCode, TeacherName from TEACHER') if c}
subjects = {c: n.strip() for c, n in q('SCIENCE', 'select ScienceCode, Science from SCIENCE')}

# --- the training plan: hours as numbers, "Итого" bold and equal to the plan's sums ----------
book = load(plan_file)
every_cell_clean(book, 'plan')
if book.sheetnames != ['Учебный план']:
    fail('plan: sheets %r' % book.sheetnames)
ws = book.worksheets[0]
if ws['A1'].value != 'Учебный план' or not ws['A1'].font.b:
    fail('plan: caption %r' % ws['A1'].value)
heads = header_rows(ws, 'Дисциплина')
if not heads:
    fail('plan: no header row')
plan = q('TRAININGCOURSE', 'select Course, StreamCode, ScienceCode, SingleHours, CoupledHours from TRAININGCOURSE')
plan = [p for p in plan if p[2] in subjects]
checked_hours = checked_totals = 0
for h in heads:
    if not all(ws.cell(h, c).font.b for c in range(1, ws.max_column + 1) if ws.cell(h, c).value):
        fail('plan: header row %d not bold' % h)
    by_name = {ws.cell(h, c).value: c for c in range(2, ws.max_column + 1) if ws.cell(h, c).value}
    rows = {}
    r = h + 1
    while r <= ws.max_row and ws.cell(r, 1).value not in (None, 'Дисциплина'):
        rows[ws.cell(r, 1).value] = r
        r += 1
    total_row = rows.get('Итого')
    if not total_row or not ws.cell(total_row, 1).font.b:
        fail('plan: no bold "Итого" under header row %d' % h)
        continue
    for code, (course, name, stream) in groups.items():
        col = by_name.get(name)
        if not col:
            continue
        items = [p for p in plan if p[0] == course and p[1] == stream]
        want = sum(p[3] + p[4] for p in items)
        got = ws.cell(total_row, col).value
        if got != want or not isinstance(got, int):
            fail('plan: total of %s is %r, the plan sums to %d' % (name, got, want))
        checked_totals += 1
        for course_, stream_, science, single, coupled in items:
            if single > 0 and coupled == 0:
                v = ws.cell(rows.get(subjects[science], 0) or 1, col).value
                if v != single or not isinstance(v, int):
                    fail('plan: %s / %s is %r, want the number %d' % (subjects[science], name, v, single))
                checked_hours += 1
if len(heads) == 1 and ws.freeze_panes != 'A%d' % (heads[0] + 1):
    fail('plan: one table, but the pane is frozen at %r' % ws.freeze_panes)
if checked_totals < 3 or checked_hours < 10:
    fail('plan: too little checked (%d totals, %d hours)' % (checked_totals, checked_hours))
if ws.page_setup.orientation != 'landscape' or ws.page_setup.paperSize not in (9, '9'):
    fail('plan: page set-up %r %r' % (ws.page_setup.orientation, ws.page_setup.paperSize))
if ws.column_dimensions['A'].width <= ws.column_dimensions['B'].width:
    fail('plan: the subject column is not the wide one')

# --- every teacher's timetable: a sheet each, week bands merged, lessons in their cells -------
book = load(teachers_file)
every_cell_clean(book, 'teachers')
names = sorted(book.sheetnames)
if len(book.sheetnames) != len(teachers) or not set(n[:31] for n in teachers.values()) <= set(names):
    fail('teachers: sheets %r, teachers %r' % (names, sorted(teachers.values())))
days = [n.strip() for (n,) in q('DAYS', 'select DayName from DAYS order by DaySeqNumber')]
day_col = {s: i + 2 for i, (s,) in enumerate(q('DAYS', 'select DaySeqNumber from DAYS order by DaySeqNumber'))}
placed = q('SCHEDULE', 'select TeacherCode, Week, DaySeqNumber, LessonNo, ScienceCode from SCHEDULE '
                       'where Week > 0 and TeacherCode > 0')
found = 0
for code, name in teachers.items():
    if name[:31] not in book.sheetnames:
        continue
    ws = book[name[:31]]
    if ws['A1'].value != 'Расписание уроков' or ws['A2'].value != name:
        fail('teachers: %s has caption %r, title %r' % (name, ws['A1'].value, ws['A2'].value))
    h = header_rows(ws, 'Урок')
    if len(h) != 1 or [ws.cell(h[0], c).value for c in range(2, 2 + len(days))] != days:
        fail('teachers: %s header rows %r' % (name, h))
        continue
    bands = {}
    for m in ws.merged_cells.ranges:
        text = ws.cell(m.min_row, 1).value
        if m.min_row == m.max_row and m.min_col == 1 and m.max_col == 1 + len(days):
            bands[text] = m.min_row
            if not ws.cell(m.min_row, 1).font.b:
                fail('teachers: %s band %r not bold' % (name, text))
    if set(bands) != {'1-я неделя', '2-я неделя'}:
        fail('teachers: %s bands %r' % (name, sorted(bands)))
        continue
    for t, week, day, no, science in placed:
        if t != code or week > 2:
            continue
        r = bands['%d-я неделя' % week] + 1
        while r <= ws.max_row and str(ws.cell(r, 1).value).split('\n')[0] != no.strip():
            r += 1
        cell = ws.cell(r, day_col[day]).value or ''
        if subjects[science][:20].strip() not in cell.split('\n'):
            fail('teachers: %s, week %d, day %d, lesson %s: %r lacks %r' % (name, week, day, no, cell, subjects[science][:20]))
        found += 1
if found < 50:
    fail('teachers: only %d placed lessons found' % found)

# --- the load: counts as numbers, "Всего" the teacher's lessons -----------------------------
book = load(load_file)
every_cell_clean(book, 'load')
ws = book.worksheets[0]
if book.sheetnames != ['Распределение нагрузки учителей']:
    fail('load: sheets %r' % book.sheetnames)
lessons = collections.Counter(t for (t,) in q('SCHEDULE', 'select TeacherCode from SCHEDULE where GroupCode != 0'))
checked = 0
for h in header_rows(ws, 'Специальность'):
    heads = [ws.cell(h, c).value for c in range(1, ws.max_column + 1)]
    # A later page of groups may leave group columns empty; the others are all named.
    if heads[1] != 'Учитель' or heads[-1] != 'Всего' or heads[2] is None:
        fail('load: header %r' % heads)
        continue
    r = h + 1
    while r <= ws.max_row and ws.cell(r, 2).value:
        name, total = ws.cell(r, 2).value, ws.cell(r, len(heads)).value
        code = [c for c, n in teachers.items() if n == name]
        want = lessons[code[0]] if code else -1
        if (total or 0) != want or (total is not None and not isinstance(total, int)):
            fail('load: %s has %r lessons in "Всего", the timetable %d' % (name, total, want))
        checked += 1
        r += 1
if checked < len(teachers):
    fail('load: %d teacher rows checked of %d' % (checked, len(teachers)))

for f in failures[:20]:
    print('FAIL:', f)
sys.exit(1 if failures else 0)
