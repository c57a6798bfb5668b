#!/usr/bin/env python3
"""Times `qmzip test` against `7zz t` on an archive of many small AES-256 items and prints the
ratio as a markdown table.

usage: bench/aes_items_bench.py [--qmzip PATH] [--baseline PATH] [--runs N] [--cores 1]
                                [--scale F] [--workdir DIR] [--items N]
Every AES item carries its own salt, so each one costs a key derivation (PBKDF2-HMAC-SHA1,
1000 iterations): on small items that derivation, not the data, is what a test run spends its
time on. The archive (7-Zip, -mem=AES256, N × scale items of 200 to 2,000 bytes, default 2,000)
is made once in the work folder and reused. Target: qmzip at most as long as 7zz t (ratio at
most 1.0), on all cores and on one.
"""
import os
import random
import subprocess
import sys

import benchlib

PASSWORD = 'bench password 1'


def make_archive(workdir, items):
    archive = os.path.join(workdir, f'aes_items_{items}.zip')
    if os.path.exists(archive):
        return archive
    source = os.path.join(workdir, f'aes_items_{items}')
    os.makedirs(source, exist_ok=True)
    rng = random.Random(7)
    for i in range(items):
        with open(os.path.join(source, f'item{i:05d}.txt'), 'w') as f:
            f.write(''.join(rng.choice('abcdef \n') for _ in range(rng.randint(200, 2000))))
    subprocess.run(['7zz', 'a', '-tzip', '-mem=AES256', f'-p{PASSWORD}', archive + '.part.zip',
                    '.'], cwd=source, check=True, stdout=subprocess.DEVNULL)
    os.replace(archive + '.part.zip', archive)
    subprocess.run(['rm', '-rf', source], check=True)
    return archive


def main():
    ap = benchlib.parser(__doc__)
    ap.add_argument('--items', type=int, default=2000,
                    help='items at scale 1 (default: %(default)s)')
    args = ap.parse_args()
    benchlib.setup(args, ['7zz'])
    items = max(10, round(args.items * args.scale))
    archive = make_archive(args.workdir, items)
    benchlib.warm(archive)
    tools = [benchlib.Tool(label, lambda d, q=path: [q, 'test', archive, '-P', PASSWORD])
             for label, path in benchlib.subjects(args)]
    theirs = benchlib.Tool('7zz', lambda d: ['7zz', 't', f'-p{PASSWORD}', '-bd', '-bso0', archive])
    tools.append(theirs)
    benchlib.paired(tools, args.runs, args.prefix, args.workdir,
                    benchlib.scratch(args, 'out-aes'))

    benchlib.heading(args, f'qmzip test on {items:,} AES-256 items')
    headers = ['qmzip', 'time (s)', 'ms per item', '÷ 7zz t', '7zz t (s)', 'peak (MiB)']
    rows = []
    by_label = {t.label: t for t in tools}
    for label, _ in benchlib.subjects(args):
        ours = by_label[label]
        rows.append([benchlib.build_name(args, label), f'{benchlib.median(ours):.3f}',
                     f'{benchlib.median(ours) / items * 1e3:.3f}',
                     f'{benchlib.ratio(ours, theirs):.2f}', f'{benchlib.median(theirs):.3f}',
                     f'{benchlib.mib(ours.peak):.1f}'] +
                    benchlib.after_before(args, label, by_label))
    benchlib.table(headers + benchlib.after_before_header(args), rows)
    print('\nEvery tool: median wall and processor seconds, peak memory\n')
    benchlib.table([t.label for t in tools], [[benchlib.summary(t) for t in tools]])
    # Parity is the target here, on all cores and on one.
    benchlib.print_verdicts([benchlib.at_most(benchlib.ratio(by_label['qmzip'], theirs), 1.0,
                                              '÷ 7zz t'),
                             benchlib.peak_verdict('AES items', by_label['qmzip'])])
    return 0


if __name__ == '__main__':
    sys.exit(main())
