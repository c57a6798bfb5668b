#!/usr/bin/env python3
"""Times `qmzip test` against `7zz t` on an archive of many small AES-256 items.

usage: aes_items_bench.py QMZIP [--work DIR] [--items N] [--runs N] [--one-core]

Every AES item carries its own salt, so each one costs a key derivation (PBKDF2-HMAC-SHA1,
1000 iterations): on small items that derivation, not the data, is what a test run spends its
time on. The archive (7-Zip, -mem=AES256, N items of 200 to 2,000 bytes) is made once in the
work folder and reused. Prints the median of the runs for each tool, the ratio and the time per
item. With --one-core both tools run on core 0 only (taskset).
"""
import argparse
import os
import random
import subprocess

from extract_bench import timed

PASSWORD = 'bench password 1'


def make_archive(work, items):
    archive = os.path.join(work, f'aes_items_{items}.zip')
    if os.path.exists(archive):
        return archive
    source = os.path.join(work, f'aes_items_{items}')
    os.makedirs(source, exist_ok=True)
    rng = random.Random(7)
    for i in range(items):
        with open(os.path.join(source, f'item{i:05d}.txt'), 'w') as f:
            f.write(''.join(rng.choice('abcdef \n') for _ in range(rng.randint(200, 2000))))
    subprocess.run(['7zz', 'a', '-tzip', '-mem=AES256', f'-p{PASSWORD}', archive + '.part', '.'],
                   cwd=source, check=True, stdout=subprocess.DEVNULL)
    os.replace(archive + '.part', archive)
    return archive


def median_time(argv, cwd, runs):
    times = sorted(timed(argv, cwd)[0] for _ in range(runs))
    return times[len(times) // 2]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('qmzip')
    ap.add_argument('--work', default='/tmp/qmzip-bench')
    ap.add_argument('--items', type=int, default=2000)
    ap.add_argument('--runs', type=int, default=5)
    ap.add_argument('--one-core', action='store_true')
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    archive = make_archive(args.work, args.items)
    run_dir = os.path.join(args.work, 'aes_run')
    os.makedirs(run_dir, exist_ok=True)
    prefix = ['taskset', '-c', '0'] if args.one_core else []
    qmzip = os.path.abspath(args.qmzip)
    # Paired: the tools take turns, so a change in the machine's load hits both.
    ours, theirs = [], []
    for _ in range(args.runs):
        ours.append(median_time(prefix + [qmzip, 'test', archive, '-P', PASSWORD], run_dir, 1))
        theirs.append(median_time(prefix + ['7zz', 't', f'-p{PASSWORD}', archive], run_dir, 1))
    ours.sort()
    theirs.sort()
    q, s = ours[len(ours) // 2], theirs[len(theirs) // 2]
    cores = 'one core' if args.one_core else 'all cores'
    print(f'{args.items} AES-256 items, median of {args.runs} paired runs, {cores}')
    print(f'  qmzip test  {q:7.3f} s  ({q / args.items * 1e3:.3f} ms per item)')
    print(f'  7zz t       {s:7.3f} s  ({s / args.items * 1e3:.3f} ms per item)')
    print(f'  ratio qmzip / 7zz: {q / s:.2f}')


if __name__ == '__main__':
    main()
