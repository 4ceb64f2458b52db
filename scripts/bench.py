#!/usr/bin/env python3
"""Measures what drivelife costs, by hand (never a timed test):
  (a) the report reader's throughput on a synthetic 100 MB report, against
      `grep -c Logical` and `cat` of the same file;
  (b) a whole run against the stand-in smartctl alone, and the difference:
      what drivelife adds to a check;
  (c) the peak memory of a whole run (/usr/bin/time -v);
  (d) the size of the static drivelife.exe.
Run scripts/test.sh (or the native and windows presets) first.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
SAMPLE = os.path.join(ROOT, "tests", "reports", "classic-ssd-1.txt")


def best(command, repeat=5, **kwargs):
    """The fastest of several runs, in seconds."""
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        subprocess.run(command, check=False, stdout=subprocess.DEVNULL, **kwargs)
        times.append(time.perf_counter() - start)
    return min(times)


def median_pair(first, second, runs, **kwargs):
    """The median times of two commands, run in turn so that both meet the
    same load on the machine."""
    times = ([], [])
    for _ in range(runs):
        for command, spent in ((first, times[0]), (second, times[1])):
            start = time.perf_counter()
            subprocess.run(command, check=False, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, **kwargs)
            spent.append(time.perf_counter() - start)
    return [sorted(t)[len(t) // 2] for t in times]


def main():
    work = tempfile.mkdtemp(prefix="drivelife-bench-")
    try:
        # (a) A real report whose Device Statistics come after 100 MB of
        # its other sections, so that every line is read.
        with open(SAMPLE) as f:
            text = f.read()
        cut = text.index("Device Statistics (GP Log 0x04)")
        big = os.path.join(work, "big.txt")
        with open(big, "w") as f:
            f.write(text[:cut] * (100_000_000 // cut + 1) + text[cut:])
        size = os.path.getsize(big) / 1e6
        reader = best([os.path.join(BUILD, "bench-report"), big])
        grep = best(["grep", "-c", "Logical", big])
        cat = best(["cat", big])
        print("(a) %.0f MB report: reader %.3f s (%.0f MB/s), grep -c %.3f s, cat %.3f s"
              % (size, reader, size / reader, grep, cat))
        print("    reader / grep -c = %.2f, reader / cat = %.2f" % (reader / grep, reader / cat))

        # (b) A whole run (answer, smartctl, reading, removal) against the
        # stand-in smartctl alone printing the same report.
        shutil.copy(SAMPLE, os.path.join(work, "report.txt"))
        stub = os.path.join(work, "bin")
        os.mkdir(stub)
        shutil.copy(os.path.join(BUILD, "smartctl-stub"), os.path.join(stub, "smartctl"))
        env = dict(os.environ, PATH=stub + ":" + os.environ["PATH"], TMPDIR=work)
        runs = 300
        whole, alone = median_pair(
            [os.path.join(BUILD, "drivelife")],
            [os.path.join(stub, "smartctl"), "-x", "/dev/sdc"],
            runs, cwd=work, env=env, input=b"C\n\n")
        print("(b) median of %d runs: drivelife %.2f ms, smartctl alone %.2f ms, "
              "ratio %.2f, drivelife adds %.2f ms"
              % (runs, whole * 1e3, alone * 1e3, whole / alone, (whole - alone) * 1e3))

        # (c) Peak memory of a whole run.
        if not os.path.exists("/usr/bin/time"):
            print("(c) needs /usr/bin/time: apt-get install time")
        else:
            result = subprocess.run(["/usr/bin/time", "-v", os.path.join(BUILD, "drivelife")],
                                    cwd=work, env=env, input=b"C\n\n", capture_output=True)
            for line in result.stderr.decode(errors="replace").splitlines():
                if "Maximum resident set size" in line:
                    print("(c) peak memory: %s KB" % line.split(":")[1].strip())

        # (d) The Windows exe.
        exe = os.path.join(ROOT, "build-windows", "drivelife.exe")
        if os.path.exists(exe):
            print("(d) drivelife.exe: %d bytes" % os.path.getsize(exe))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
