#!/usr/bin/env python3
"""Reads the workbooks of `korvel-cli report --xlsx` with openpyxl and compares them with the
school's data files. usage: report_xlsx_check.py SCHOOL PLAN.xlsx TEACHERS.xlsx"""
import sys

import openpyxl

import school_db

school, plan_file, teachers_file = sys.argv[1:4]
failures = []


def check(ok, text):
    if not ok:
        failures.append(text)


db, q = school_db.open_tables(school)


def book(path):
    b = openpyxl.load_workbook(path)  # not read-only: merged cells are wanted
    for ws in b.worksheets:  # no cell keeps the paper layout's padding
        for c in (c for row in ws.iter_rows() for c in row if isinstance(c.value, str)):
            check(all(l == l.strip() and '  ' not in l for l in c.value.split('\n')),
                  '%s!%s padded: %r' % (ws.title, c.coordinate, c.value))
    return b


def rows_under(ws, first):
    """(header row, {first cell: row}) of each table whose header starts with `first`."""
    for h in (r for r in range(1, ws.max_row + 1) if ws.cell(r, 1).value == first):
        check(all(c.font.b for c in ws[h] if c.value), '%s: header row %d not bold' % (ws.title, h))
        body, r = {}, h + 1
        while r <= ws.max_row and ws.cell(r, 1).value not in (None, first):
            body[str(ws.cell(r, 1).value).split('\n')[0]] = r
            r += 1
        yield h, body


groups = q('GROUP', 'select Course || Defis || Literal, Course, StreamCode from "GROUP"')
teachers = {c: n.strip() for c, n in q('TEACHER', 'select TeacherCode, TeacherName from TEACHER') if c}
subjects = {c: n.strip() for c, n in q('SCIENCE', 'select ScienceCode, Science from SCIENCE')}
plan = [p for p in q('TRAININGCOURSE', 'select Course, StreamCode, ScienceCode, SingleHours, '
                     'CoupledHours from TRAININGCOURSE') if p[2] in subjects]

# The plan: hours and the bold "Итого" are numbers, the totals those of the data files.
ws = book(plan_file)['Учебный план']
checked = 0
for h, body in rows_under(ws, 'Дисциплина'):
    col = {ws.cell(h, c).value: c for c in range(2, ws.max_column + 1)}
    check('Итого' in body and ws.cell(body['Итого'], 1).font.b, 'plan: no bold total row')
    for name, course, stream in (g for g in groups if g[0] in col):
        items = [p for p in plan if p[:2] == (course, stream)]
        got = ws.cell(body.get('Итого', 1), col[name]).value
        check(got == sum(p[3] + p[4] for p in items) and type(got) is int, 'plan: total of %s %r' % (name, got))
        for p in (p for p in items if p[4] == 0):
            got = ws.cell(body[subjects[p[2]]], col[name]).value
            check(got == p[3] and type(got) is int, 'plan: %s, %s is %r' % (subjects[p[2]], name, got))
            checked += 1
check(checked > 20, 'plan: only %d hours checked' % checked)

# Every teacher a sheet, week bands merged and bold, every placed lesson's subject in its cell.
b = book(teachers_file)
check(sorted(b.sheetnames) == sorted(teachers.values()), 'teachers: sheets %r' % b.sheetnames)
days = q('DAYS', 'select DaySeqNumber, DayName from DAYS order by DaySeqNumber')
placed = q('SCHEDULE', 'select TeacherCode, Week, DaySeqNumber, LessonNo, ScienceCode from SCHEDULE where Week > 0')
found = 0
for code, name in teachers.items():
    ws = b[name]
    check((ws['A1'].value, ws['A2'].value) == ('Расписание уроков', name), 'teachers: %s heading' % name)
    (h, _), = rows_under(ws, 'Урок')
    check([c.value for c in ws[h][1:]] == [d[1].strip() for d in days], 'teachers: %s days' % name)
    bands = {ws.cell(m.min_row, 1).value: m.min_row for m in ws.merged_cells.ranges
             if m.min_col == 1 and m.max_col == len(days) + 1 and ws.cell(m.min_row, 1).font.b}
    if sorted(bands) != ['1-я неделя', '2-я неделя']:
        failures.append('teachers: %s bands %r' % (name, bands))
        continue
    for t, week, day, no, science in (p for p in placed if p[0] == code):
        r = bands['%d-я неделя' % week] + 1
        while r < ws.max_row and str(ws.cell(r, 1).value).split('\n')[0] != no.strip():
            r += 1
        cell = ws.cell(r, 2 + [d[0] for d in days].index(day)).value or ''
        check(subjects[science][:20].strip() in cell.split('\n'), '%s: %r in %r' % (name, subjects[science], cell))
        found += 1
check(found > 100, 'teachers: only %d lessons found' % found)

for f in failures[:20]:
    print('FAIL:', f)
sys.exit(1 if failures else 0)
