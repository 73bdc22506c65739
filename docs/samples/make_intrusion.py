#!/usr/bin/env python3
"""Writes intrusion.jsonl: two days of three workstations' Sysmon events
(sysmon_loggen's benign background, seed 7) with an intrusion woven in: a
mailed script that drops and starts a program which makes itself start with
Windows, a system name started from the wrong folder, a downloaded setup run
through cmd /c, and ransomware-like registry changes the next day.

    docs/samples/make_intrusion.py build/release/bench/evreplay/sysmon_loggen
"""
import json
import subprocess
import sys

loggen = sys.argv[1] if len(sys.argv) > 1 else "build/release/bench/evreplay/sysmon_loggen"
background = [json.loads(line) for line in subprocess.run(
    [loggen, "--events", "250", "--hosts", "3", "--days", "2", "--seed", "7"],
    check=True, capture_output=True, text=True).stdout.splitlines()]

record = [100000]


def event(event_id, host, time, **fields):
    record[0] += 1
    e = {"EventID": event_id, "SourceName": "Microsoft-Windows-Sysmon",
         "Channel": "Microsoft-Windows-Sysmon/Operational", "Hostname": host,
         "EventRecordID": record[0], "UtcTime": time}
    e.update(fields)
    return e


A, B, C = "WS1000.corp.example", "WS1001.corp.example", "WS1002.corp.example"
bob = "C:\\Users\\bob"
sid = "S-1-5-21-3623811015-3361044348-30300820-1013"
eve_sid = "S-1-5-21-3623811015-3361044348-30300820-1104"
run = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\"
dropped = bob + "\\AppData\\Roaming\\OneDrv\\onedrv.exe"
wscript = "C:\\Windows\\System32\\wscript.exe"
intrusion = [
    event(11, A, "2024-05-01 09:12:10.100", Image="C:\\Program Files\\Microsoft Office\\root\\Office16\\OUTLOOK.EXE",
          TargetFilename=bob + "\\Downloads\\invoice-0424.vbs"),
    event(11, A, "2024-05-01 09:12:31.870", Image=wscript, TargetFilename=dropped),
    event(1, A, "2024-05-01 09:12:32.400", Image=dropped, CommandLine="onedrv.exe /sync", ParentImage=wscript,
          ParentCommandLine='"C:\\Windows\\System32\\WScript.exe" "' + bob + '\\Downloads\\invoice-0424.vbs"'),
    event(13, A, "2024-05-01 09:12:35.010", EventType="SetValue", Image=dropped, TargetObject=run + "OneDrv",
          Details=dropped),
    event(13, A, "2024-05-01 09:12:35.400", EventType="SetValue", Image=dropped,
          TargetObject="HKU\\" + sid + "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Sync", UserSid=sid),
    event(13, A, "2024-05-01 11:40:02.000", EventType="SetValue", Image=dropped,
          TargetObject="HKLM\\SOFTWARE\\Microsoft\\Security Center\\AntiVirusDisableNotify"),
    event(1, B, "2024-05-01 14:03:11.250", Image="C:\\Windows\\System32\\cmd.exe", CommandLine="cmd.exe",
          ParentImage="C:\\Users\\Public\\Libraries\\svchost.exe", ParentCommandLine="svchost.exe -k netsvcs"),
    event(11, B, "2024-05-01 14:05:40.000", Image="C:\\Program Files\\Mozilla Firefox\\firefox.exe",
          TargetFilename="C:\\Users\\ann\\Downloads\\setup.exe"),
    event(1, B, "2024-05-01 14:06:02.000", Image="C:\\Users\\ann\\Downloads\\setup.exe", CommandLine="setup.exe",
          ParentImage="C:\\Windows\\System32\\cmd.exe",
          ParentCommandLine="cmd.exe /c C:\\Users\\ann\\Downloads\\setup.exe"),
    event(12, C, "2024-05-02 16:20:00.000", EventType="CreateKey", Image="C:\\Users\\eve\\Desktop\\locker.exe",
          TargetObject="HKU\\" + eve_sid + "\\Software\\Locky"),
    event(13, C, "2024-05-02 16:20:01.000", EventType="SetValue", Image="C:\\Users\\eve\\Desktop\\locker.exe",
          TargetObject="HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableTaskMgr",
          UserSid=eve_sid),
    event(1, C, "2024-05-02 18:02:05.000", Image="C:\\Windows\\System32\\whoami.exe", CommandLine="whoami",
          ParentImage="C:\\ProgramData\\runner.exe", ParentCommandLine="runner.exe"),
]

with open(__file__.rsplit("/", 1)[0] + "/intrusion.jsonl", "w") as out:
    for e in sorted(background + intrusion, key=lambda e: e.get("UtcTime") or e.get("EventTime")):
        out.write(json.dumps(e, separators=(",", ":")) + "\n")
