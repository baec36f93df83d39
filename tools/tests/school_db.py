"""The school's data files as the checkers read them: every table of every *.db file, read only."""
import glob
import os
import sqlite3


def open_tables(school):
    """A table name -> its read-only connection, and q(table, sql) for the rows."""
    tables = {}
    for path in glob.glob(os.path.join(school, '*.db')):
        con = sqlite3.connect('file:%s?mode=ro' % path, uri=True)
        for (name,) in con.execute("select name from sqlite_master where type='table'"):
            tables[name] = con

    def q(table, sql):
        return tables[table].execute(sql).fetchall()

    return tables, q
