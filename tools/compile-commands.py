"""compile-commands.py ROOT OUT PRESET... < SOURCES

Reads each preset's build/PRESET/compile_commands.json as JSON and writes
OUT/PRESET/compile_commands.json with one entry per source: a build lists a
source once for each target that compiles it (natively also sanitized, and
for the fuzzer), and clang-tidy would read it that many times. Then prints,
for each source named on standard input (paths relative to ROOT), the first
preset that compiles it, a tab, the source, a tab, its compile command with
ROOT written as ".": what tools/check-style.sh reads and keys its cache by.
"""
import json
import os
import sys

root, out, presets = sys.argv[1], sys.argv[2], sys.argv[3:]
commands = {}
for preset in presets:
    with open(os.path.join(root, "build", preset, "compile_commands.json")) as f:
        entries = json.load(f)
    kept = {}
    for entry in entries:
        kept.setdefault(os.path.normpath(entry["file"]), entry)
    os.makedirs(os.path.join(out, preset), exist_ok=True)
    with open(os.path.join(out, preset, "compile_commands.json"), "w") as f:
        json.dump(list(kept.values()), f, indent=1)
    commands[preset] = kept

for source in sys.stdin.read().split("\n"):
    if not source:
        continue
    path = os.path.normpath(os.path.join(root, source))
    for preset in presets:
        entry = commands[preset].get(path)
        if entry:
            command = entry.get("command") or " ".join(entry.get("arguments", []))
            print(f"{preset}\t{source}\t{command.replace(root, '.')}")
            break
