#!/usr/bin/env python3
"""fault_matrix.py SETUP_EXE BUILD_DIR [--full] [--only=FUNCTION] [--part=K/M]: makes each system call
of an install fail in turn.

Run by fault_matrix.sh in a fresh Wine prefix (WINEPREFIX). For each scenario it records the calls
of a run without faults, then, for every call N of the chosen classes, runs the installer twice:
with only call N failing, and with N and every later call of the same function failing (where the
first run made no later call of that function, the second is the same run, made once). Each run is
judged as an administrator would judge it (Judge); every broken rule is a violation. The last line is
"fault injection: C calls, R runs, V violations"; the exit status is 1 when V is not 0.

Every scenario's calls are recorded and listed. Without --full only the first scenario's calls of the
classes that touch the machine are made to fail; with --full, every scenario's calls of every
class. --only=FUNCTION limits the runs to that function's calls; --part=K/M to every M-th of them,
from the K-th on.
"""
import functools
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time

SETUP_EXE, BUILD_DIR = os.path.realpath(sys.argv[1]), os.path.realpath(sys.argv[2])
FULL = "--full" in sys.argv[3:]
# --only=FUNCTION: that function's calls alone (for looking into one).
ONLY = next((a.split("=", 1)[1] for a in sys.argv[3:] if a.startswith("--only=")), None)
# --part=K/M: the K-th of M parts of the calls (every M-th call), for running parts side by side.
PART, PARTS = map(int, next((a.split("=", 1)[1] for a in sys.argv[3:] if a.startswith("--part=")), "1/1").split("/"))
DRIVE_C = os.path.join(os.environ["WINEPREFIX"], "drive_c")
FAULT_RUN = os.path.join(BUILD_DIR, "tests", "faults", "fault_run.exe")
OUT = os.path.join(BUILD_DIR, "faults", str(PART))
LOG = r"C:\logs\setup.log"
# What the uninstaller prints when a file of the program is left and it keeps the entry.
NOT_REMOVED = "Memotack could not be removed"
USER = os.environ.get("USER", "root")
DEFAULT_FOLDER = r"C:\Program Files (x86)\Memotack"

# Where an install may leave something, below drive_c.
WATCHED = [
    "Program Files (x86)/Memotack", "Program Files/Memotack", "Apps", "extract",
    "windows/uninstallmemotack.bat", "windows/uninstallmemotack.bat.new", "windows/Start Menu",
    f"users/{USER}/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp",
    f"users/{USER}/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Memotack",
    "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp",
    "ProgramData/Microsoft/Windows/Start Menu/Programs/Memotack",
]
MACHINE_CLASSES = {"file", "folder", "registry", "shell", "com", "move", "lock"}

# The command line; the folder of an earlier install (or earlier files); the folder the run writes
# its files to. Both folders' payload files hold bytes of their own before each run. ctest runs the
# first scenario: over another install, for everyone, into a folder whose name the uninstaller must
# escape.
SCENARIOS = {
    "everyone-path": dict(args=rf'-silent -everyone "-path=C:\Apps\Memo & Co (1)%\Memotack" -log="{LOG}"',
                          earlier=DEFAULT_FOLDER, folder=r"C:\Apps\Memo & Co (1)%\Memotack"),
    "silent": dict(args=f'-silent -log="{LOG}"', earlier=DEFAULT_FOLDER, folder=DEFAULT_FOLDER),
    "extract": dict(args=f'-extract -log="{LOG}"', earlier=r"C:\extract", folder=r"C:\extract"),
}

# Calls whose failure has a fallback of its own: (function, target) -> the exit code and the failed
# rows it gives. A run whose failing calls all have one is judged by them together.
FALLBACKS = {
    # The extended version record refused: the basic one is asked for, and the run is as usual.
    ("GetVersionExW", "size 284"): (0, []),
    # No version at all: an older system's literal folders, whose Startup folder is not there.
    ("GetVersionExW", "size 276"): (1603, ["Create Startup shortcut"]),
    # The program-files folder falls back to C:\Program Files\Memotack.
    ("SHGetSpecialFolderPathW", "CSIDL 0x0026"): (0, []),
    # The Windows folder falls back to C:\windows, which it is here.
    ("SHGetSpecialFolderPathW", "CSIDL 0x0024"): (0, []),
    # The Startup folders fall back to the literal folder, which is not there.
    ("SHGetSpecialFolderPathW", "CSIDL 0x0007"): (1603, ["Create Startup shortcut"]),
    ("SHGetSpecialFolderPathW", "CSIDL 0x0018"): (1603, ["Create Startup shortcut"]),
    # Its result is ignored: without COM no shortcut can be made.
    ("CoInitialize", ""): (1603, ["Create Startup shortcut"]),
}
ROW_LINE = re.compile(r"^(.+?): (done|failed)")


def c_path(path):
    """The Linux path of a C:\\ path of the prefix."""
    return os.path.join(DRIVE_C, *path[3:].split("\\"))


def wine(*args, env=None, cwd=None):
    result = subprocess.run(["wine", *args], stdin=subprocess.DEVNULL, capture_output=True, env=env, cwd=cwd)
    return result.stdout.decode("utf-8", "replace").replace("\r", "")


@functools.lru_cache(maxsize=None)
def to_windows(linux_path):
    return wine("winepath", "-w", linux_path).strip()


def read_lines(path, encoding="utf-8"):
    if not os.path.exists(path):
        return []
    with open(path, encoding=encoding, errors="replace") as f:
        return f.read().replace("\r", "").splitlines()


# -- machine state -------------------------------------------------------------------------------

def lnk_fields(path):
    out = subprocess.run(["lnkinfo", path], capture_output=True, text=True, errors="replace").stdout
    keep = ("Local path", "Working directory", "Description", "Command line arguments")
    return tuple(line.strip() for line in out.splitlines() if line.strip().startswith(keep))


def snapshot(with_bytes=False):
    """The watched files and folders: path -> "dir", the file's bytes or digest, or a link's fields."""
    state = {}
    for root in WATCHED:
        top = os.path.join(DRIVE_C, root)
        walk = os.walk(top) if os.path.isdir(top) else [(os.path.dirname(top), None, [os.path.basename(top)])]
        for folder, dirs, files in walk:
            if dirs is not None:
                state[os.path.relpath(folder, DRIVE_C)] = "dir"
            for name in files:
                path = os.path.join(folder, name)
                if not os.path.isfile(path):
                    continue
                with open(path, "rb") as f:
                    data = f.read()
                key = os.path.relpath(path, DRIVE_C)
                if with_bytes:
                    state[key] = data
                else:
                    state[key] = lnk_fields(path) if name.lower().endswith(".lnk") else hashlib.sha1(data).hexdigest()
    return state


def restore(saved):
    for root in WATCHED:
        path = os.path.join(DRIVE_C, root)
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.lexists(path):
            os.remove(path)
    if os.path.exists(c_path(LOG)):
        os.remove(c_path(LOG))
    for key, value in sorted(saved.items()):
        path = os.path.join(DRIVE_C, key)
        os.makedirs(path if value == "dir" else os.path.dirname(path), exist_ok=True)
        if value != "dir":
            with open(path, "wb") as f:
                f.write(value)


def differences(a, b):
    return sorted(k for k in set(a) | set(b) if a.get(k) != b.get(k))[:4]


# -- running -------------------------------------------------------------------------------------

def entry_values(entry):
    return {line.split("\t")[1]: line.split("\t")[3] for line in entry if line.count("\t") >= 3}


def fault_run(set_to, *more, **how):
    """Runs fault_run.exe: it puts the uninstall entry's values as set_to gives them (None: as they
    are), starts the installer when more names it, and writes the entry's values into entry.txt."""
    entry_in = "-"
    if set_to is not None:
        with open(os.path.join(OUT, "entry-in.txt"), "w", encoding="utf-8") as f:
            f.write("".join(line + "\n" for line in set_to))
        entry_in = to_windows(os.path.join(OUT, "entry-in.txt"))
    return wine(to_windows(FAULT_RUN), entry_in, to_windows(os.path.join(OUT, "entry.txt")), *more, **how)


def entry(set_to=None):
    """The uninstall entry's values as fault_run.exe writes them; set_to replaces them first."""
    fault_run(set_to)
    return sorted(read_lines(os.path.join(OUT, "entry.txt")))


class Run:
    """One run of the installer with fault_inject.dll, every call recorded."""

    def __init__(self, scenario, fault=None, entry_before=None):
        env = dict(os.environ, EXIT_CODE_MORE_ARGUMENTS=scenario["args"], MEMOTACK_FAULT_LOG=LOG,
                   MEMOTACK_FAULT_RECORD=to_windows(os.path.join(OUT, "record.txt")))
        env.pop("MEMOTACK_FAULT", None)
        if fault:
            env["MEMOTACK_FAULT"] = fault
        for name in ("record.txt", "entry.txt", "entry-in.txt"):
            if os.path.exists(os.path.join(OUT, name)):
                os.remove(os.path.join(OUT, name))
        cwd = c_path(scenario["folder"]) if scenario["args"].startswith("-extract") else None
        if cwd:
            os.makedirs(cwd, exist_ok=True)
        result = fault_run(entry_before, to_windows(SETUP_EXE), env=env, cwd=cwd).split()
        self.exit = result[-1] if result else "no result"
        self.entry = sorted(read_lines(os.path.join(OUT, "entry.txt")))
        self.log = read_lines(c_path(LOG), "utf-8-sig")
        self.calls = [line.split("\t") for line in read_lines(os.path.join(OUT, "record.txt"))]
        failing = [c for c in self.calls if c[-1].startswith("injected ")]
        self.injected = int(failing[0][-1].split()[1]) if failing else None
        self.failed_calls = [int(c[2]) for c in failing]
        # A function that failed for the log too may have cut the log short.
        self.log_cut = any(is_log_call(c) for c in failing)
        # What the failing calls' fallbacks give together, or None when one of them has none.
        rules = [FALLBACKS.get((c[1], c[3])) for c in failing if not is_log_call(c)]
        self.fallback = None
        if rules and all(rules):
            self.fallback = (max(rule[0] for rule in rules), sorted({row for rule in rules for row in rule[1]}))


def is_log_call(call):
    return call[3].lower() in (LOG.lower(), LOG.rsplit("\\", 1)[0].lower())


def classify(calls):
    """Each recorded call as a dict: its class as judged here ("log" for the log's own calls), the
    progress row whose work made it, and whether the run's start-up made it."""
    first_log = next((i for i, c in enumerate(calls) if c[3].lower() == LOG.lower()), len(calls))
    header_end = next((i for i, c in enumerate(calls) if len(c) > 4 and c[4].startswith("Elevated:")), first_log)
    rows, row = [None] * len(calls), None
    for i in range(len(calls) - 1, -1, -1):
        if calls[i][1] == "WriteFile" and len(calls[i]) > 4 and ROW_LINE.match(calls[i][4]):
            row = ROW_LINE.match(calls[i][4]).group(1)
        rows[i] = row
    result = []
    for i, c in enumerate(calls):
        # The log's calls: those on its file or folder, and those that make its header.
        on_log = is_log_call(c) or first_log <= i <= header_end + 1
        # What every run needs before its work: the common controls and the dialog's template.
        startup = c[0] == "library" or c[3].startswith("#5/")
        result.append(dict(kind="log" if on_log else c[0], function=c[1], n=int(c[2]), target=c[3],
                           row=rows[i], startup=startup))
    return result


def code_texts(code):
    """How a log line names the system error code: as it is, or a Win32 code also as its HRESULT."""
    if code >= 0x80000000:
        return [f"system error 0x{code:08X}"]
    return [f"system error {code}"] + ([f"system error 0x{0x80070000 | code:08X}"] if code < 0x10000 else [])


# -- judging -------------------------------------------------------------------------------------

class Judge:
    def __init__(self, scenario, clean, calls, reference, before, baseline):
        self.scenario, self.clean, self.reference, self.before, self.baseline = (
            scenario, clean, reference, before, baseline)
        self.row_of = {(c["function"], c["n"]): c["row"] for c in calls}
        self.rows = [ROW_LINE.match(line).group(1) for line in clean.log if ROW_LINE.match(line)]
        folder = c_path(scenario["folder"])
        self.packed = {name: open(os.path.join(folder, name), "rb").read() for name in ("memotack.exe", "memotack.chm")}

    def judge(self, call, run, state):
        if run.exit not in ("0", "1603"):
            return [f"exit code {run.exit}"]
        if call["kind"] == "log":
            # A fault of the log may cut it short, and must change nothing else.
            if run.exit != self.clean.exit or state != self.reference or run.entry != self.clean.entry:
                return [f"a fault of the log changed the run: exit code {run.exit}, "
                        f"files {differences(state, self.reference)}"]
            return []
        if run.log_cut:
            # Judged by the exit code and the machine alone: the log may be cut short.
            return self.machine_problems(run)
        problems = self.log_problems(run)
        failed = [m.group(1) for m in map(ROW_LINE.match, run.log) if m and m.group(2) == "failed"]
        if run.fallback:
            if run.exit != str(run.fallback[0]) or sorted(failed) != run.fallback[1]:
                problems.append(f"exit code {run.exit} and failed rows {failed}, where the fallback gives "
                                f"{run.fallback}")
        elif run.exit == "0":
            if state != self.reference or run.entry != self.clean.entry:
                problems.append(f"exit code 0, but the machine differs: files {differences(state, self.reference)}, "
                                f"entry {sorted(set(run.entry) ^ set(self.clean.entry))[:3]}")
        elif call["startup"]:
            if not any(line.startswith("Fatal error:") for line in run.log):
                problems.append("a start-up failure without a 'Fatal error:' line")
        elif run.injected is None:
            problems.append("the call was not made in this run")
        else:
            # With the later calls failing too, the failed row may be that of a later one.
            rows = {self.row_of.get((call["function"], n), call["row"]) for n in run.failed_calls}
            lines = [l for l in run.log if any(l.startswith(f"{row}: ") for row in rows)]
            codes = code_texts(run.injected)
            if not any(": failed" in l and any(code in l for code in codes) for l in lines):
                problems.append(f"no row of the failing calls is failed naming {codes[0]}: {lines or sorted(rows)}")
        return problems + self.machine_problems(run)

    def log_problems(self, run):
        problems = []
        if not run.log or run.log[-1] != f"exit code {run.exit}":
            problems.append(f"the log does not end with 'exit code {run.exit}': {run.log[-1:]}")
        written = [m.group(1) for m in map(ROW_LINE.match, run.log) if m]
        fatal = len(run.log) > 1 and run.log[-2].startswith("Fatal error:")
        if written != self.rows[:len(written)] or (not fatal and len(written) != len(self.rows)):
            problems.append(f"rows {written}, not {self.rows}")
        return problems

    def machine_problems(self, run):
        problems = []
        for folder in {self.scenario["folder"], self.scenario["earlier"]}:
            for name in ("memotack.exe", "memotack.chm"):
                path = os.path.join(c_path(folder), name)
                data = open(path, "rb").read() if os.path.exists(path) else None
                if data not in (self.packed[name], self.before.get(os.path.relpath(path, DRIVE_C))):
                    problems.append(f"{folder}\\{name} holds neither the packed nor the earlier bytes")
        for folder, dirs, files in os.walk(DRIVE_C):
            if os.path.relpath(folder, DRIVE_C) == "windows":
                dirs[:] = [d for d in dirs if d == "Start Menu"]
            problems += [f"temporary file left: {os.path.join(folder, f)}" for f in files
                         if f.endswith(".new") or f == "delmtq.reg"]
        values = entry_values(run.entry)
        if values:
            uninstaller = values.get("UninstallString", "")
            if not uninstaller.upper().startswith("C:\\") or not os.path.isfile(c_path(uninstaller)):
                problems.append(f"the entry names a missing uninstaller: {uninstaller}")
            else:
                text = open(c_path(uninstaller), "rb").read().decode("cp437")
                if f'rd "{values.get("InstallLocation", "").replace("%", "%%")}"' not in text:
                    problems.append("the entry names the uninstaller of another install")
        return problems

    def uninstall_problems(self, run):
        """An uninstaller that a failed install wrote must still leave the machine as it was."""
        # Without an entry (its values failed) the administrator still has the uninstaller itself.
        uninstaller = entry_values(run.entry).get("UninstallString", r"C:\windows\uninstallmemotack.bat")
        said = []
        for attempt in (1, 2):
            output = subprocess.run(["/usr/lib/wine/wine64", "cmd", "/c", uninstaller], stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=DRIVE_C).stdout
            output = output.decode("cp437", "replace")
            said.append(" / ".join(line.strip() for line in output.splitlines() if line.strip())[-300:])
            after, left = snapshot(), entry()
            if after == self.baseline and not left:
                # A file held for a moment (under load, by the system) stops the first run, which then
                # keeps the entry and itself: running it again, as it tells the user, must finish.
                if attempt == 2:
                    print(f"    (the uninstaller had to run twice; first it said: {said[0]})", flush=True)
                return []
            if NOT_REMOVED not in output:
                break
            time.sleep(2)
        return [f"the uninstaller left files {differences(after, self.baseline)} and entry {left[:2]}; "
                f"it said: {' | '.join(said)}"]


def prepare(scenario):
    """The machine before each run: an earlier install (or earlier files) whose payload files hold
    bytes of their own. Returns the files and the entry."""
    before_entry = []
    if not scenario["args"].startswith("-extract"):
        before_entry = Run(dict(scenario, args=f'-silent "-path={scenario["earlier"]}"'), entry_before=[]).entry
    folder = c_path(scenario["earlier"])
    os.makedirs(folder, exist_ok=True)
    for name in ("memotack.exe", "memotack.chm"):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"the earlier install's " + name.encode())
    return snapshot(with_bytes=True), before_entry


def main():
    os.makedirs(OUT, exist_ok=True)
    total_calls = total_runs = violations = 0
    baseline_files = snapshot(with_bytes=True)
    baseline = snapshot()
    for name, scenario in SCENARIOS.items():
        restore(baseline_files)
        before, before_entry = prepare(scenario)
        clean = Run(scenario, entry_before=before_entry)
        if clean.exit != "0":
            # Nothing can be judged against a run without faults that failed itself.
            print(f"VIOLATION {name}: the run without faults: exit code {clean.exit}; its log ends: "
                  f"{' / '.join(clean.log[-4:])}", flush=True)
            violations += 1
            continue
        calls = classify(clean.calls)
        judge = Judge(scenario, clean, calls, snapshot(), before, baseline)
        with open(os.path.join(OUT, f"record-{name}.txt"), "w", encoding="utf-8") as f:
            f.write("".join("\t".join(c) + "\n" for c in clean.calls))
        print(f"== {name}: {scenario['args']}: exit code {clean.exit}" +
              ("; every call, class by class:" if PART == 1 else ""))
        for kind in sorted({c["kind"] for c in calls}) if PART == 1 else []:
            listed = [f"{c['function']} {c['n']}" for c in calls if c["kind"] == kind]
            print(f"   {kind} ({len(listed)}): {', '.join(listed)}")
        if judge.log_problems(clean):
            print(f"VIOLATION {name}: the run without faults: {judge.log_problems(clean)}")
            violations += 1
        # Every scenario's calls are listed; without --full only the first one's are made to fail.
        chosen = [c for c in calls if (FULL or (name == next(iter(SCENARIOS)) and c["kind"] in MACHINE_CLASSES))
                  and ONLY in (None, c["function"])][PART - 1::PARTS]
        total_calls += len(chosen)
        for call in chosen:
            called_again = True
            for how in ("once", "later"):
                # Where no call of the function followed the failing one, failing the later ones too
                # is the same run.
                if how == "later" and not called_again:
                    continue
                restore(before)
                started = time.monotonic()
                fault = f"{call['function']}:{call['n']}{'+' if how == 'later' else ''}"
                run = Run(scenario, fault=fault, entry_before=before_entry)
                called_again = any(c[1] == call["function"] and int(c[2]) > call["n"] for c in run.calls)
                ran = time.monotonic()
                total_runs += 1
                problems = judge.judge(call, run, snapshot())
                judged = time.monotonic()
                if not problems and run.exit == "1603" and "Create uninstaller: done" in run.log:
                    problems = judge.uninstall_problems(run)
                violations += bool(problems)
                print(f"{'VIOLATION' if problems else 'ok'} {name} {fault} [{call['kind']} {call['target']}]: "
                      f"exit code {run.exit} (run {ran - started:.0f} s, checks {judged - ran:.0f} s, "
                      f"uninstaller {time.monotonic() - judged:.0f} s)" + "".join(f"\n    {p}" for p in problems),
                      flush=True)
    restore(baseline_files)
    print(f"fault injection: {total_calls} calls, {total_runs} runs, {violations} violations")
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main())
