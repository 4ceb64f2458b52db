#!/usr/bin/env python3
"""Runs drivelife end to end on the cases of a table and compares standard
output, standard error and exit status byte for byte.

Each case runs the built binary in a fresh directory with a stand-in
smartctl that prints the case's report. The same table runs on the native
build and, with --wine, on drivelife.exe under Wine.

Table format (see drivelife.test):
    ## group            a group of cases
    ### title           a case; settings follow as "key: value" lines
    --- report          the report smartctl prints, up to the next section
    --- stdout          what drivelife must write
    --- stderr
Settings: input (Python escapes), report (a file in reports/), report-gen
(a Python expression for the report's bytes), smartctl (an exit status,
"missing", "real" or "vanish"), exit, args, only (linux or windows),
report-exists (windows: a c:\\a.txt there before), stdout ("full" for
/dev/full), terminal (a locale: standard output is a pseudo-terminal),
each-byte (see expand), env (NAME=value for drivelife's environment).
In sections, "\\r" is a CR, "\\xNN" a byte, and "\\c" at the end of a line
means the line has no line feed. In stdout and stderr, {prompt} is the
prompt, {dev} the device smartctl is given, {...} any text on the line,
{any lines} any text at all.
Texts are written in UTF-8 and compared as GBK.
"""
import argparse
import codecs
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROMPT = "请输入要检测的盘符 （只输入一个字母 如C盘则输入C 并按回车）"


def parse(path):
    cases, group, case, section = [], "", None, None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("### "):
                case = {"group": group, "title": line[4:], "line": number,
                        "sections": {}}
                cases.append(case)
                section = None
            elif line.startswith("## "):
                group, case, section = line[3:], None, None
            elif line.startswith("--- ") and case is not None:
                section = line[4:].strip()
                case["sections"][section] = []
            elif section is not None:
                case["sections"][section].append(line)
            elif case is not None and ":" in line and not line.startswith("#"):
                key, value = line.split(":", 1)
                case[key.strip()] = value.strip()
    return cases


def section_text(lines):
    """Joins the lines of a section, each ending in a line feed. The blank
    lines that part one case from the next are not part of it."""
    while lines and lines[-1] == "":
        lines = lines[:-1]
    out = ""
    for line in lines:
        if line.endswith("\\c"):
            out += line[:-2]
        else:
            out += line + "\n"
    return out


def unescape(text):
    text = text.replace("\\r", "\r")
    return re.sub(r"\\x([0-9a-fA-F]{2})", lambda m: chr(int(m.group(1), 16)), text)


def to_bytes(text):
    """GBK for the Chinese, the code points below 256 as single bytes."""
    out = bytearray()
    for ch in text:
        out += bytes([ord(ch)]) if ord(ch) < 256 else ch.encode("gbk")
    return bytes(out)


def expected_pattern(text, dev, crlf):
    text = text.replace("{prompt}", PROMPT).replace("{dev}", dev)
    data = to_bytes(unescape(text))
    if crlf:
        data = data.replace(b"\n", b"\r\n")
    pattern = b""
    for i, chunk in enumerate(data.split(b"{any lines}")):
        if i:
            pattern += b".*?"
        pattern += b"[^\n]*?".join(re.escape(p) for p in chunk.split(b"{...}"))
    return pattern


def run_on_terminal(command, stdin, cwd, env):
    """Runs the command with its standard output on a pseudo-terminal and
    returns what the terminal received."""
    master, slave = os.openpty()
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=slave,
                               stderr=subprocess.PIPE, cwd=cwd, env=env)
    os.close(slave)
    process.stdin.write(stdin)
    process.stdin.close()
    out = b""
    while True:
        try:
            data = os.read(master, 4096)
        except OSError:  # the terminal is closed
            break
        if not data:
            break
        out += data
    os.close(master)
    err = process.stderr.read()
    process.wait(timeout=120)
    return subprocess.CompletedProcess(command, process.returncode, out, err)


def terminal_pattern(text, dev, locale):
    """What a terminal shows: UTF-8 text in a UTF-8 locale, GBK bytes in
    any other, and each line feed as CR LF."""
    text = text.replace("{prompt}", PROMPT).replace("{dev}", dev)
    data = text.encode("utf-8") if "UTF-8" in locale else to_bytes(text)
    return re.escape(data.replace(b"\n", b"\r\n"))


class Runner:
    def __init__(self, args):
        self.args = args
        self.wine = args.wine
        self.work = tempfile.mkdtemp(prefix="drivelife-test-")
        self.stub_bin = os.path.join(self.work, "bin")
        os.mkdir(self.stub_bin)
        # The stand-in lives in one folder made before any case runs, first
        # on the search path. (Under Wine, cmd.exe now and then does not see
        # an exe copied into a folder made just before it runs.)
        name = "smartctl.exe" if self.wine else "smartctl"
        shutil.copy(args.smartctl, os.path.join(self.stub_bin, name))
        self.env = dict(os.environ)
        self.env.pop("LANG", None)
        self.env["LC_ALL"] = "C"
        self.env.setdefault("HOME", self.work)
        if self.wine:
            self.prefix = args.wineprefix
            self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                            WINEDLLOVERRIDES="mscoree,mshtml=")
            self.report_file = os.path.join(self.prefix, "drive_c", "a.txt")
            if not os.path.exists(os.path.join(self.prefix, "system.reg")):
                subprocess.run(["wineboot", "-i"], env=self.env, check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                subprocess.run(["wineserver", "-w"], env=self.env, check=True)
            # One Wine server for all the cases, rather than one started
            # and stopped for each run. The services Wine starts with it
            # must not hold on to the pipes of a case.
            quiet = dict(env=self.env, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-p"], **quiet)
            subprocess.run(["wine", "cmd", "/c", "exit"], **quiet)

    def close(self):
        if self.wine:
            subprocess.run(["wineserver", "-k"], env=self.env)
        shutil.rmtree(self.work, ignore_errors=True)

    def run(self, case, number):
        platform = "windows" if self.wine else "linux"
        if case.get("only", platform) != platform:
            return None
        cwd = os.path.join(self.work, "case%d" % number)
        tmp = os.path.join(cwd, "tmp")
        os.makedirs(tmp)
        sections = case["sections"]
        if "report-gen" in case:
            report = eval(case["report-gen"], {"random": random})
        elif "report" in sections:
            report = to_bytes(unescape(section_text(sections["report"])))
        elif "report" in case:
            with open(os.path.join(HERE, "reports", case["report"]), "rb") as f:
                report = f.read()
        else:
            report = b""
        with open(os.path.join(cwd, "report.txt"), "wb") as f:
            f.write(report)
        smartctl = case.get("smartctl", "0")
        with open(os.path.join(cwd, "status.txt"), "w") as f:
            f.write(smartctl)

        env = dict(self.env)
        if self.wine:
            if smartctl not in ("missing", "real"):
                env["WINEPATH"] = "Z:" + self.stub_bin.replace("/", "\\")
            command = self.args.emulator + [self.args.drivelife]
            before = None
            if "report-exists" in case:
                before = to_bytes(unescape(case["report-exists"])) + b"\r\n"
                with open(self.report_file, "wb") as f:
                    f.write(before)
        else:
            path = "/usr/bin:/bin"
            if smartctl == "real":
                path = "/usr/sbin:/usr/bin:/sbin:/bin"
            elif smartctl != "missing":
                path = self.stub_bin + ":" + path
            env.update(PATH=path, TMPDIR=tmp)
            command = [self.args.drivelife]

        if "env" in case:
            name, value = case["env"].split("=", 1)
            env[name] = value
        stdin = codecs.escape_decode(case.get("input", "C\\n\\n"))[0]
        if "terminal" in case:
            env["LC_ALL"] = case["terminal"]
            result = run_on_terminal(command, stdin, cwd, env)
        else:
            stdout = subprocess.PIPE
            if case.get("stdout") == "full":
                stdout = open("/dev/full", "wb")
            result = subprocess.run(command, input=stdin, cwd=cwd, env=env, stdout=stdout,
                                    stderr=subprocess.PIPE, timeout=120)
            if result.stdout is None:
                result.stdout = b""

        # The device is named by the first answer line that starts with a letter.
        letter = next((line[:1].decode() for line in stdin.split(b"\n")
                       if line[:1].isalpha() and line[:1].isascii()), "")
        dev = letter + ":" if self.wine else "/dev/sd" + letter.lower()
        faults = []
        for name, got in (("stdout", result.stdout), ("stderr", result.stderr)):
            want = section_text(sections.get(name, []))
            if name == "stdout" and "terminal" in case:
                pattern = terminal_pattern(want, dev, case["terminal"])
            else:
                pattern = expected_pattern(want, dev, self.wine)
            if not re.fullmatch(pattern, got, re.S):
                want = want.replace("{prompt}", PROMPT).replace("{dev}", dev)
                faults.append("%s differs\n--- want\n%s\n--- got\n%s\n---" % (
                    name, want, got.decode("gbk", "replace")))
        want_exit = int(case.get("exit", "0"))
        if result.returncode != want_exit:
            faults.append("exit status %d, want %d" % (result.returncode, want_exit))

        args_file = os.path.join(cwd, "args.txt")
        got_args = None
        if os.path.exists(args_file):
            with open(args_file, encoding="latin-1") as f:
                got_args = f.read().strip()
        want_args = case.get("args", "-x {dev}")
        if smartctl in ("missing", "real"):
            want_args = "none"
        want_args = None if want_args == "none" else want_args.replace("{dev}", dev)
        if got_args != want_args:
            faults.append("smartctl got arguments %r, want %r" % (got_args, want_args))

        if self.wine:
            if before is not None:
                with open(self.report_file, "rb") as f:
                    if f.read() != before:
                        faults.append("c:\\a.txt was changed")
                os.remove(self.report_file)
            elif os.path.exists(self.report_file):
                faults.append("c:\\a.txt left behind")
                os.remove(self.report_file)
        elif os.listdir(tmp):
            faults.append("left in TMPDIR: %s" % os.listdir(tmp))
        return faults


def expand(cases, wine):
    """A case with "each-byte: yes" runs once for every byte value in place
    of {byte} in its input. In its expected texts, {again} is a second
    prompt and {bad} the message for an answer that is not a letter, both
    empty when the byte is an ASCII letter."""
    bad = "盘符应为一个英文字母（A 到 Z），请重新输入。"
    for case in cases:
        if case.get("each-byte") != "yes":
            yield case
            continue
        for b in range(256):
            # On Windows a Ctrl-Z ends a text-mode input, so it is no answer.
            if wine and b == 0x1A:
                continue
            letter = chr(b).isascii() and chr(b).isalpha()
            # The answer is the byte and Enter; for the line feed itself,
            # Enter alone.
            answer = "{byte}\\n" if b == 10 else "{byte}"
            one = dict(case, title="%s (byte %d)" % (case["title"], b),
                       input=case["input"].replace(answer, "\\x%02x" % b))
            one["sections"] = {
                name: [line.replace("{again}", "" if letter else "{prompt}")
                           .replace("{bad}", "" if letter else bad) for line in lines]
                for name, lines in case["sections"].items()}
            yield one


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--drivelife", required=True)
    parser.add_argument("--smartctl", required=True, help="the stand-in")
    parser.add_argument("--table", default=os.path.join(HERE, "drivelife.test"))
    parser.add_argument("--group", help="run only this group")
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--emulator", default="wine")
    parser.add_argument("--wineprefix")
    args = parser.parse_args()
    args.emulator = args.emulator.split(";")
    args.drivelife = os.path.abspath(args.drivelife)
    args.smartctl = os.path.abspath(args.smartctl)

    runner = Runner(args)
    passed = failed = skipped = 0
    cases = [c for c in parse(args.table) if not args.group or c["group"] == args.group]
    for number, case in enumerate(expand(cases, args.wine)):
        faults = runner.run(case, number)
        if faults is None:
            skipped += 1
        elif faults:
            failed += 1
            print("FAIL %s: %s (line %d)" % (case["group"], case["title"], case["line"]))
            for fault in faults:
                print("  " + fault)
        else:
            passed += 1
    runner.close()
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 1 if failed or passed + skipped == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
