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

PEERS = ('zip', '7zz', 'bsdtar')


def commands(args, level):
    """{label: argv(archive, members)} of the contenders at level '1' or 'default'."""
    one = level == '1'
    argv = {
        'zip': lambda a, m: ['zip', '-q', '-r'] + (['-1'] if one else []) + [a] + m,
        '7zz': lambda a, m: ['7zz', 'a', '-tzip', '-bd', '-bso0'] +
        (['-mx1'] if one else []) + [a] + m,
        'bsdtar': lambda a, m: ['bsdtar', '--format', 'zip'] +
        (['--options', 'zip:compression-level=1'] if one else []) + ['-cf', a] + m,
    }
    for label, path in benchlib.subjects(args):
        argv[label] = lambda a, m, q=path: [q, 'add', a, '-r'] + (['-1'] if one else []) + m
    return argv


def checker(label, files, sizes):
    """Checks that the archive holds every file and records its size in sizes."""
    def check(out):
        with zipfile.ZipFile(out) as z:
            found = sum(1 for i in z.infolist() if not i.is_dir())
        if found != files:
            raise RuntimeError(f'{label}: {found} files in the archive, {files} in the source')
        sizes[label] = os.path.getsize(out)
    return check


def main():
    ap = benchlib.parser(__doc__)
    ap.add_argument('--only', default='', help='comma-separated sources: jar,tree,large')
    args = ap.parse_args()
    benchlib.setup(args, ['zip', 'bsdtar', '7zz'])
    only = set(filter(None, args.only.split(',')))
    out = benchlib.scratch(args, 'out-add') + '.zip'

    results = []
    for name, (folder, members) in corpora.sources(args.workdir, args.scale).items():
        if only and name not in only:
            continue
        files, total = corpora.tree_summary(folder)
        for level in ('1', 'default'):
            print(f'add {name} at level {level}', file=sys.stderr, flush=True)
            sizes = {}
            tools = [benchlib.Tool(label, lambda a, f=f: f(a, members),
                                   checker(label, files, sizes))
                     for label, f in commands(args, level).items()]
            tools.sort(key=lambda t: t.label not in ('qmzip', 'before'))
            benchlib.paired(tools, args.runs, args.prefix, folder, out)
            results.append((f'{name}, {files:,} files, {total / 1e6:.0f} MB', name, level,
                            {t.label: t for t in tools}, sizes))

    benchlib.heading(args, 'qmzip add')
    headers = ['source', 'level', 'qmzip', 'time (s)'] + [f'÷ {p}' for p in PEERS] + \
        ['÷ fastest', 'size ÷ zip', 'peak (MiB)'] + benchlib.after_before_header(args)
    rows, verdicts = [], []
    for title, name, level, tools, sizes in results:
        fastest = benchlib.fastest([tools[p] for p in PEERS])
        for label, _ in benchlib.subjects(args):
            ours = tools[label]
            row = [title, level, benchlib.build_name(args, label), f'{benchlib.median(ours):.3f}']
            row += [f'{benchlib.ratio(ours, t):.2f}' for t in [tools[p] for p in PEERS] + [fastest]]
            row += [f'{sizes[label] / sizes["zip"]:.3f}', f'{benchlib.mib(ours.peak):.1f}']
            rows.append(row + benchlib.after_before(args, label, tools))
        where = f'{name} level {level}'
        verdicts += [
            benchlib.at_most(benchlib.ratio(tools['qmzip'], fastest), benchlib.ratio_limit(args),
                             f'{where}: ÷ fastest'),
            benchlib.at_most(sizes['qmzip'] / sizes['zip'], 1.01, f'{where}: size ÷ zip'),
            benchlib.peak_verdict(where, tools['qmzip'])]
    benchlib.table(headers, rows)

    print('\nEvery tool: median wall and processor seconds, peak memory, archive size\n')
    labels = list(results[0][3])
    benchlib.table(['source', 'level'] + labels,
                   [[name, level] + [f'{benchlib.summary(tools[t])}, {sizes[t] / 1e6:.2f} MB'
                                     for t in labels]
                    for _, name, level, tools, sizes in results])
    benchlib.print_verdicts(verdicts)
    return 0


if __name__ == '__main__':
    sys.exit(main())
