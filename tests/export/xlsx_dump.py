"""Prints the XML parts of an .xlsx file as one JSON object (part name -> text)."""
import json
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as book:
    bad = book.testzip()
    if bad is not None:
        sys.exit("corrupt member: " + bad)
    parts = {name: book.read(name).decode("utf-8")
             for name in book.namelist() if name.endswith(".xml") or name.endswith(".rels")}
json.dump(parts, sys.stdout)
