#!/usr/bin/env python3
"""Times `qmzip add -r` against zip -r, 7zz a -tzip and bsdtar --format zip, at level 1 and
at each tool's default level, on the jar, tree and large sources of corpora.py, and prints the
time ratios and the output size against zip's at the same level as a markdown table.

usage: bench/create_bench.py [--qmzip PATH] [--baseline PATH] [--runs N] [--cores 1]
                             [--scale F] [--workdir DIR] [--only jar,tree,large]
Defaults: qmzip and zip 6, 7zz 5 (it uses both cores unless --cores 1), bsdtar zlib's 6.
After the first round every archive is checked to hold every file.
Targets: qmzip at most 0.6 of the fastest peer's time (0.8 with --cores 1), output at most
1% larger than zip's at the same level, peak memory at most 64 MiB.
"""
import os
import sys
import zipfile

import benchlib
import corpora

PEAK_LIMIT_MIB = 64
PEERS = ('zip', '7zz', 'bsdtar')


def tools_for(args, level, files, sizes):
    """The contenders at level '1' or 'default'; each records its archive's size in sizes."""
    def check(label):
        def run(out):
            with zipfile.ZipFile(out) as z:
                found = sum(1 for i in z.infolist() if not i.is_dir())
            if found != files:
                raise RuntimeError(f'{label}: {found} files in the archive, {files} in the source')
            sizes[label] = os.path.getsize(out)
        return run

    one = level == '1'
    argv = {
        'zip': lambda a, m: ['zip', '-q', '-r'] + (['-1'] if one else []) + [a] + m,
        '7zz': lambda a, m: ['7zz', 'a', '-tzip', '-bd', '-bso0'] + (['-mx1'] if one else []) + [a] + m,
        'bsdtar': lambda a, m: ['bsdtar', '--format', 'zip'] +
        (['--options', 'zip:compression-level=1'] if one else []) + ['-cf', a] + m,
    }
    for label, path in benchlib.subjects(args):
        argv[label] = lambda a, m, q=path: [q, 'add', a, '-r'] + (['-1'] if one else []) + m
    return argv, check


def main():
    ap = benchlib.parser(__doc__.splitlines()[0])
    ap.add_argument('--only', default='', help='comma-separated sources: jar,tree,large')
    args = ap.parse_args()
    benchlib.setup(args, ['zip', 'bsdtar', '7zz'])
    only = set(filter(None, args.only.split(',')))
    out = os.path.join(args.workdir, 'out-add.zip')
    limit = 0.8 if args.cores == 1 else 0.6

    results = []
    for name, (folder, members) in corpora.sources(args.workdir, args.scale).items():
        if only and name not in only:
            continue
        files, total = corpora.tree_summary(folder)
        for level in ('1', 'default'):
            print(f'add {name} at level {level}', file=sys.stderr, flush=True)
            sizes = {}
            argv, check = tools_for(args, level, files, sizes)
            tools = [benchlib.Tool(label, lambda a, f=f: f(a, members), check(label))
                     for label, f in argv.items()]
            tools.sort(key=lambda t: t.label not in ('qmzip', 'before'))
            benchlib.paired(tools, args.runs, args.prefix, folder, out)
            results.append((f'{name}, {files:,} files, {total / 1e6:.0f} MB', name, level,
                            {t.label: t for t in tools}, sizes))

    benchlib.heading(args, 'qmzip add')
    headers = ['source', 'level', 'qmzip', 'time (s)'] + [f'÷ {p}' for p in PEERS] + \
        ['÷ fastest', 'size ÷ zip', 'peak (MiB)'] + (['after ÷ before'] if args.baseline else [])
    rows, verdicts = [], []
    for title, name, level, tools, sizes in results:
        for label, _ in benchlib.subjects(args):
            ours = tools[label]
            fastest = benchlib.fastest([tools[p] for p in PEERS])
            size_ratio = sizes[label] / sizes['zip']
            row = [title, level, 'before' if label == 'before' else 'after' if args.baseline else 'qmzip',
                   f'{benchlib.median(ours):.3f}']
            row += [f'{benchlib.ratio(ours, tools[p]):.2f}' for p in PEERS]
            row += [f'{benchlib.ratio(ours, fastest):.2f}', f'{size_ratio:.3f}',
                    f'{benchlib.mib(ours.peak):.1f}']
            if args.baseline:
                row.append(f'{benchlib.ratio(ours, tools["before"]):.2f}' if label == 'qmzip' else '')
            rows.append(row)
            if label == 'qmzip':
                value = benchlib.ratio(ours, fastest)
                where = f'{name} level {level}'
                verdicts += [(value <= limit, f'{where}: ÷ fastest {value:.2f} (≤ {limit})'),
                             (size_ratio <= 1.01, f'{where}: size ÷ zip {size_ratio:.3f} (≤ 1.01)'),
                             (benchlib.mib(ours.peak) <= PEAK_LIMIT_MIB,
                              f'{where}: peak {benchlib.mib(ours.peak):.1f} MiB (≤ {PEAK_LIMIT_MIB})')]
    benchlib.table(headers, rows)

    print('\nMedian seconds, archive size (MB) and peak (MiB) of every tool:\n')
    labels = list(results[0][3])
    benchlib.table(['source', 'level'] + labels,
                   [[name, level] + [f'{benchlib.median(tools[t]):.3f} s, {sizes[t] / 1e6:.2f} MB, '
                                     f'{benchlib.mib(tools[t].peak):.0f} MiB' for t in labels]
                    for _, name, level, tools, sizes in results])
    print()
    for ok, text in verdicts:
        benchlib.target_line(ok, text)
    return 0


if __name__ == '__main__':
    sys.exit(main())
