#!/usr/bin/env python3
"""Times archive creation: `qmzip add -r` against `zip -r` (levels 1 and 6), `7zz a -tzip`
(levels 1 and 5) and `bsdtar -a -cf x.zip`, on one core.

usage: create_bench.py QMZIP [--work DIR] [--runs N] [--scale F] [--only tree,text,noise]

Corpora (made once in the work folder, the same recipes as extract_bench.py):
  tree   a tree of tens of thousands of small text files
  text   one large compressible file
  noise  one large incompressible file
Every run is pinned to one core (taskset). Runs are paired: each round runs every tool once,
in turn, so that a busy machine slows them alike; the median of N rounds is reported with
the peak resident memory. Per level: the time ratio qmzip / zip and the size ratio qmzip / zip.
Targets: time ratio at most 1.00 and size ratio at most 1.01 at both levels.
"""
import argparse
import os
import shutil
import statistics
import sys

from extract_bench import make_noise, make_text, make_tree, timed


def prepare(work, scale):
    large = int(256 * (1 << 20) * scale)
    recipes = {
        'tree': (lambda d: make_tree(os.path.join(d, 'tree'), int(30000 * scale)), 'tree'),
        'text': (lambda d: make_text(os.path.join(d, 'text.log'), large), 'text.log'),
        'noise': (lambda d: make_noise(os.path.join(d, 'noise.bin'), large), 'noise.bin'),
    }
    corpora = {}
    for name, (make, member) in recipes.items():
        src = os.path.join(work, 'src-' + name)
        if not os.path.exists(os.path.join(src, member)):
            shutil.rmtree(src, ignore_errors=True)
            os.makedirs(src)
            print(f'making {name} ...', file=sys.stderr, flush=True)
            make(src)
        corpora[name] = (src, member)
    return corpora


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('qmzip')
    ap.add_argument('--work', default='/tmp/qmzip-bench')
    ap.add_argument('--runs', type=int, default=3)
    ap.add_argument('--scale', type=float, default=1.0)
    ap.add_argument('--only', default='', help='comma-separated corpora')
    args = ap.parse_args()
    qmzip = os.path.abspath(args.qmzip)
    os.makedirs(args.work, exist_ok=True)
    corpora = prepare(args.work, args.scale)
    only = set(filter(None, args.only.split(',')))

    # (label, level group, argv for an archive path and a member)
    tools = [
        ('qmzip -1', 1, lambda a, m: [qmzip, 'add', a, '-r', '-1', m]),
        ('zip -1', 1, lambda a, m: ['zip', '-q', '-r', '-1', a, m]),
        ('7zz -mx1', 1, lambda a, m: ['7zz', 'a', '-tzip', '-mx1', '-bd', '-bso0', a, m]),
        ('qmzip -6', 6, lambda a, m: [qmzip, 'add', a, '-r', '-6', m]),
        ('zip -6', 6, lambda a, m: ['zip', '-q', '-r', '-6', a, m]),
        ('7zz -mx5', 6, lambda a, m: ['7zz', 'a', '-tzip', '-mx5', '-bd', '-bso0', a, m]),
        ('bsdtar', 6, lambda a, m: ['bsdtar', '-a', '-cf', a, m]),
    ]
    ok = True
    print(f'{"corpus":6} {"tool":9} {"time":>9} {"size":>12} {"peak":>8}   vs zip: time size')
    for name, (src, member) in corpora.items():
        if only and name not in only:
            continue
        times = {label: [] for label, _, _ in tools}
        sizes, peaks = {}, {label: 0 for label, _, _ in tools}
        for _ in range(args.runs):
            for label, _, argv in tools:
                archive = os.path.join(args.work, 'out.zip')
                if os.path.exists(archive):
                    os.remove(archive)
                t, m = timed(['taskset', '-c', '0'] + argv(archive, member), src)
                times[label].append(t)
                peaks[label] = max(peaks[label], m)
                sizes[label] = os.path.getsize(archive)
        for label, level, _ in tools:
            median = statistics.median(times[label])
            zip_label = f'zip -{level}'
            time_ratio = median / statistics.median(times[zip_label])
            size_ratio = sizes[label] / sizes[zip_label]
            if label.startswith('qmzip'):
                ok &= time_ratio <= 1.0 and size_ratio <= 1.01
            print(f'{name:6} {label:9} {median:8.3f}s {sizes[label]:12d} {peaks[label] / 1024:6.1f}M'
                  f'   {time_ratio:5.2f} {size_ratio:6.3f}', flush=True)
    print('targets met' if ok else 'targets NOT met')
    return 0


if __name__ == '__main__':
    sys.exit(main())
