"""What the bench commands share: their options, the peers' packages, paired runs with
medians and peak memory, and the markdown tables they print.

Runs are paired: each round runs every tool once, in turn (starting with a different tool each
round), so that a change in the machine's load hits them alike. A ratio is the median over the
rounds of that round's ratio; a time is the median of the tool's runs; a peak is the largest
resident size of any run, as GNU time reports it.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(BENCH)
DEFAULT_QMZIP = os.path.join(ROOT, 'build', 'default', 'tools', 'qmzip', 'qmzip')
SCRATCH = '/work/benchdata'
PEAK_LIMIT_MIB = 64

# The Debian package that brings each program the scripts run.
PACKAGES = {
    '7zz': '7zip',
    'bsdtar': 'libarchive-tools',
    'unzip': 'unzip',
    'zip': 'zip',
    'cp': 'coreutils',
    'cc': 'gcc',
    'taskset': 'util-linux',
    '/usr/bin/time': 'time',
}


def default_workdir():
    if os.path.isdir(SCRATCH) and os.access(SCRATCH, os.W_OK):
        return SCRATCH
    return os.path.join(tempfile.gettempdir(), 'qmzip-bench')


def parser(doc):
    """The shared options; the help text is the first paragraph of the command's doc."""
    ap = argparse.ArgumentParser(description=' '.join(doc.split('\n\n')[0].split()))
    ap.add_argument('--qmzip', default=DEFAULT_QMZIP,
                    help='the qmzip to measure (default: %(default)s)')
    ap.add_argument('--baseline', metavar='PATH',
                    help='an older qmzip run in the same rounds: its own table and after÷before')
    ap.add_argument('--runs', type=int, default=5, help='paired rounds (default: %(default)s)')
    ap.add_argument('--cores', type=int, choices=[1],
                    help='1: every run on core 0 only (taskset -c 0)')
    ap.add_argument('--scale', type=float, default=1.0,
                    help='corpus size factor, e.g. 0.05 for a quick check (default: 1)')
    ap.add_argument('--workdir', default=default_workdir(),
                    help='corpora cache and scratch (default: %(default)s)')
    ap.add_argument('--scratch', metavar='DIR',
                    help='where the outputs are written instead of the work folder: a tmpfs '
                    '(/dev/shm) times the tools rather than the disk they write to')
    return ap


def setup(args, programs=()):
    """Checks the programs and the qmzip builds, makes the work folder, sets args.prefix."""
    require('/usr/bin/time', 'taskset', *programs)
    args.qmzip = existing_qmzip(args.qmzip, 'qmzip')
    if args.baseline:
        args.baseline = existing_qmzip(args.baseline, 'baseline')
    if args.runs < 1 or args.scale <= 0:
        sys.exit('--runs must be at least 1 and --scale above 0')
    args.workdir = os.path.abspath(args.workdir)
    os.makedirs(args.workdir, exist_ok=True)
    args.scratch = os.path.abspath(args.scratch or args.workdir)
    os.makedirs(args.scratch, exist_ok=True)
    args.prefix = ['taskset', '-c', '0'] if args.cores == 1 else []


def existing_qmzip(path, what):
    path = os.path.abspath(path)
    if not os.access(path, os.X_OK):
        sys.exit(f'{what} not found at {path} (build it: cmake --preset default && '
                 'cmake --build --preset default --target qmzip)')
    return path


def require(*programs):
    missing = [p for p in programs if shutil.which(p) is None]
    if missing:
        packages = sorted({PACKAGES.get(p, p) for p in missing})
        sys.exit('missing ' + ', '.join(missing) + ': apt-get install ' + ' '.join(packages))


def libzip_tool(workdir):
    """The libzip loop (libzip_extract.c), compiled into the work folder when it is missing
    or older than its source."""
    require('cc')
    source = os.path.join(BENCH, 'libzip_extract.c')
    binary = os.path.join(workdir, 'bin', 'libzip_extract')
    if os.path.exists(binary) and os.path.getmtime(binary) >= os.path.getmtime(source):
        return binary
    if not os.path.exists('/usr/include/zip.h'):
        sys.exit('libzip headers missing (/usr/include/zip.h): apt-get install libzip-dev')
    os.makedirs(os.path.dirname(binary), exist_ok=True)
    build = subprocess.run(['cc', '-O2', '-o', binary, source, '-lzip'],
                           stderr=subprocess.PIPE, text=True)
    if build.returncode != 0:
        sys.exit('compiling bench/libzip_extract.c failed (is libzip-dev installed?):\n' +
                 build.stderr)
    return binary


def timed(argv, cwd, stdin=subprocess.DEVNULL):
    """Wall time (s), peak resident memory (KiB) and processor time (user and system, s) of
    one run. GNU time reports the memory: a child forked from this Python process would count
    Python's own pages as its peak."""
    fd, report = tempfile.mkstemp(prefix='bench-time-')
    os.close(fd)
    try:
        start = time.perf_counter()
        proc = subprocess.run(['/usr/bin/time', '-f', '%M %U %S', '-o', report] + argv, cwd=cwd,
                              stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
        if proc.returncode != 0:
            raise RuntimeError(f'{" ".join(argv)} exited with {proc.returncode}: '
                               f'{proc.stderr[-500:].decode(errors="replace")}')
        with open(report) as f:
            peak, user, system = f.read().strip().splitlines()[-1].split()
    finally:
        os.remove(report)
    return elapsed, int(peak), float(user) + float(system)


class Tool:
    """One contender. argv(out) gives its command for the output path paired() cleared (an
    empty folder or an archive's name); check(out), when given, is called after the first
    round and raises when the output is wrong, so that a tool that silently did less cannot
    look fast."""

    def __init__(self, label, argv, check=None):
        self.label, self.argv, self.check = label, argv, check
        self.times, self.cpu, self.peak = [], [], 0


def remove(path):
    if os.path.isdir(path) and not os.path.islink(path):
        subprocess.run(['rm', '-rf', path], check=True)
    elif os.path.lexists(path):
        os.remove(path)


def scratch(args, name):
    """An output path of this run only, so that two benches on one work folder do not clash."""
    return os.path.join(args.scratch, f'{name}-{os.getpid()}')


def paired(tools, runs, prefix, cwd, out, make_out=None):
    """Runs every tool once per round, in turn, and fills its times and peak. out is removed
    before each run; make_out(out) prepares it (e.g. an empty folder). Nothing but the command
    itself is timed: removing the previous output and flushing it (sync) happen in between."""
    try:
        for round_ in range(runs):
            for k in range(len(tools)):
                tool = tools[(round_ + k) % len(tools)]
                remove(out)
                if make_out:
                    make_out(out)
                subprocess.run(['sync'])
                elapsed, peak, cpu = timed(prefix + tool.argv(out), cwd)
                tool.times.append(elapsed)
                tool.cpu.append(cpu)
                tool.peak = max(tool.peak, peak)
                if round_ == 0 and tool.check:
                    tool.check(out)
            times = ' '.join(f'{t.label} {t.times[-1]:.3f}s' for t in tools)
            print(f'  round {round_ + 1}/{runs}: {times}', file=sys.stderr, flush=True)
    finally:
        remove(out)


def median(tool):
    return statistics.median(tool.times)


def summary(tool):
    """Median wall and processor seconds and the peak, for the table of every tool. Processor
    time is steadier than wall time on a loaded machine, but 7zz spreads over both cores."""
    return (f'{median(tool):.3f} s, {statistics.median(tool.cpu):.3f} s CPU, '
            f'{mib(tool.peak):.0f} MiB')


def ratio(ours, theirs):
    """Median over the rounds of ours ÷ theirs in that round."""
    return statistics.median(a / b for a, b in zip(ours.times, theirs.times))


def fastest(tools):
    """A pseudo-tool whose time in each round is the fastest of tools in that round."""
    best = Tool('fastest', None)
    best.times = [min(round_) for round_ in zip(*(t.times for t in tools))]
    return best


def warm(*paths):
    """Reads files into the page cache so that no tool pays for the first read."""
    for path in paths:
        with open(path, 'rb') as f:
            while f.read(1 << 24):
                pass


def mib(kib):
    return kib / 1024


def table(headers, rows):
    """A markdown table, ready to paste into a note."""
    lines = ['| ' + ' | '.join(headers) + ' |', '|' + '---|' * len(headers)]
    lines += ['| ' + ' | '.join(str(c) for c in row) + ' |' for row in rows]
    print('\n'.join(lines), flush=True)


def heading(args, what):
    cores = 'one core (taskset -c 0)' if args.cores == 1 else 'all cores'
    print(f'\n{what}: median of {args.runs} paired rounds, {cores}, scale {args.scale:g}, '
          f'outputs in {args.scratch}; ratios qmzip ÷ peer (below 1: qmzip is faster)\n',
          flush=True)


def subjects(args):
    """The qmzips measured: (label, path); the baseline, when given, is measured alongside."""
    items = [('qmzip', args.qmzip)]
    if args.baseline:
        items.append(('before', args.baseline))
    return items


def ratio_limit(args):
    """The targets' ratio to the fastest peer: 0.6, relaxed to 0.8 on one core."""
    return 0.8 if args.cores == 1 else 0.6


def build_name(args, label):
    """The first cell of a qmzip's row: which build it is."""
    return 'before' if label == 'before' else 'after' if args.baseline else 'qmzip'


def after_before(args, label, tools):
    """The last cells of a qmzip's row: after ÷ before on the new build's row, when there is a
    baseline."""
    if not args.baseline:
        return []
    return [f'{ratio(tools["qmzip"], tools["before"]):.2f}' if label == 'qmzip' else '']


def after_before_header(args):
    return ['after ÷ before'] if args.baseline else []


def at_most(value, limit, text):
    """A verdict: (met, what was measured against what)."""
    return value <= limit, f'{text} {value:.2f} (≤ {limit})'


def peak_verdict(where, tool):
    return at_most(mib(tool.peak), PEAK_LIMIT_MIB, f'{where}: peak MiB')


def print_verdicts(verdicts):
    print()
    for ok, text in verdicts:
        print(('target met: ' if ok else 'target NOT met: ') + text)
