#!/usr/bin/env python3
"""The test logs as Debian's python-evtx reads them, against what the writer
meant: record count and every value, so that our writer and our reader
cannot share a misreading. Known differences of python-evtx are mapped, not
ignored: an array of texts is one text of <string> elements there, and an
optional value left null is an empty element there, where it is none.

Usage: python_evtx_agrees.py FOLDER   (made by make_test_logs)"""
import json
import sys
import xml.etree.ElementTree as ET

from Evtx.Evtx import Evtx

NS = "{http://schemas.microsoft.com/win/2004/08/events/event}"


def pairs(event):
    """The data pairs of one record's XML, as our reader names them."""
    out = []
    data = event.find(NS + "EventData")
    if data is not None:
        for item in data:
            name = item.get("Name") or item.tag.replace(NS, "")
            text = item.text or ""
            if text.startswith("<string>"):
                out += [(name, s) for s in text.split("</string>\n") if s.startswith("<string>")
                        for s in [s[len("<string>"):]]]
            else:
                out.append((name, text))
    user = event.find(NS + "UserData")
    if user is not None:
        for element in user.iter():
            if element is user:
                continue
            tag = element.tag.split("}")[-1]
            for attribute, value in element.attrib.items():
                if attribute != "xmlns":
                    out.append((attribute, value))
            if len(element) == 0:
                out.append((tag, element.text or ""))
    return out


def system(event, path, attribute=None):
    element = event.find(NS + "System/" + NS + path)
    if element is None:
        return ""
    return element.get(attribute, "") if attribute else (element.text or "")


def main(folder):
    expected = json.load(open(folder + "/expected.json"))
    failures = 0
    checked = 0
    for log in expected:
        if not log["python"]:
            continue
        got = []
        with Evtx(folder + "/" + log["file"]) as evtx:
            for record in evtx.records():
                got.append(ET.fromstring(record.xml()))
        want = log["events"]
        problems = []
        if len(got) != len(want):
            problems.append("%d records, want %d" % (len(got), len(want)))
        for event, w in zip(got, want):
            values = {
                "EventID": system(event, "EventID"),
                "Provider": system(event, "Provider", "Name"),
                "Channel": system(event, "Channel"),
                "Computer": system(event, "Computer"),
                "EventRecordID": system(event, "EventRecordID"),
                "SystemTime": system(event, "TimeCreated", "SystemTime"),
                "UserID": system(event, "Security", "UserID"),
            }
            for key, value in values.items():
                if value != w[key]:
                    problems.append("record %d %s: %r, want %r" % (w["record"], key, value, w[key]))
            wanted = [tuple(p) for p in w["data"]]
            have = [p for p in pairs(event) if p in wanted or p[1] != "" or p[0] in dict(wanted)]
            if have != wanted:
                problems.append("record %d data: %r, want %r" % (w["record"], have, wanted))
        checked += 1
        if problems:
            failures += 1
            print("FAIL: %s" % log["file"])
            for p in problems[:10]:
                print("  " + p)
        else:
            print("ok: %s: %d records as the writer meant them" % (log["file"], len(want)))
    print("%d files checked by python-evtx, %d failed" % (checked, failures))
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
