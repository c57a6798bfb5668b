#!/usr/bin/env python3
"""Times `qmzip list` against libzip's loop, unzip -l, 7zz l and bsdtar -tf on a
million-entry archive, and prints the ratios, the peak memory and qmzip's memory per entry.

usage: bench/list_bench.py [--qmzip PATH] [--baseline PATH] [--runs N] [--cores 1]
                           [--scale F] [--workdir DIR] [--entries N]
The archive (N × scale entries, default 1,000,000, made with Python's zipfile, names a few
folders deep) is cached in the work folder. The memory per entry is qmzip's peak on it less its
peak on a one-entry archive, divided by the entries. Targets: under 1 s per million entries and
under 250 bytes per entry.
"""
import os
import sys
import zipfile

import benchlib

TIME_LIMIT_PER_MILLION = 1.0
BYTES_PER_ENTRY_LIMIT = 250


def make_archive(path, entries):
    if os.path.exists(path):
        return
    tmp = path + '.part'
    with zipfile.ZipFile(tmp, 'w', zipfile.ZIP_DEFLATED) as z:
        for i in range(entries):
            # Folders a few levels deep and names of a realistic length.
            name = 'pkg%02d/module%03d/resource_file_%06d.txt' % (i % 37, i % 211, i)
            z.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), 'entry %d\n' % i,
                       zipfile.ZIP_DEFLATED)
    os.replace(tmp, path)


def main():
    ap = benchlib.parser(__doc__)
    ap.add_argument('--entries', type=int, default=1_000_000,
                    help='entries at scale 1 (default: %(default)s)')
    args = ap.parse_args()
    benchlib.setup(args, ['unzip', '7zz', 'bsdtar'])
    libzip = benchlib.libzip_tool(args.workdir)
    entries = max(1, round(args.entries * args.scale))
    archive = os.path.join(args.workdir, f'qm_bench_list_{entries}.zip')
    tiny = os.path.join(args.workdir, 'qm_bench_list_1.zip')
    make_archive(archive, entries)
    make_archive(tiny, 1)
    benchlib.warm(archive)

    subjects = benchlib.subjects(args)
    tools = [benchlib.Tool(label, lambda d, q=path: [q, 'list', archive])
             for label, path in subjects]
    peers = [
        benchlib.Tool('libzip', lambda d: [libzip, 'list', archive]),
        benchlib.Tool('unzip', lambda d: ['unzip', '-l', archive]),
        benchlib.Tool('7zz', lambda d: ['7zz', 'l', archive]),
        benchlib.Tool('bsdtar', lambda d: ['bsdtar', '-tf', archive]),
    ]
    benchlib.paired(tools + peers, args.runs, args.prefix, args.workdir,
                    benchlib.scratch(args, 'out-list'))
    # What each qmzip holds for a one-entry archive, so that the difference is the directory's.
    empty = {label: benchlib.timed(args.prefix + [path, 'list', tiny], args.workdir)[1]
             for label, path in subjects}

    benchlib.heading(args, f'qmzip list on {entries:,} entries '
                           f'({os.path.getsize(archive) / (1 << 20):.0f} MiB)')
    fastest = benchlib.fastest(peers)
    by_label = {t.label: t for t in tools}
    per_entry = {t.label: (t.peak - empty[t.label]) * 1024 / entries for t in tools}
    headers = ['qmzip', 'time (s)'] + [f'÷ {p.label}' for p in peers] + \
        ['÷ fastest', 'peak (MiB)', 'bytes per entry'] + benchlib.after_before_header(args)
    rows = []
    for tool in tools:
        row = [benchlib.build_name(args, tool.label), f'{benchlib.median(tool):.3f}']
        row += [f'{benchlib.ratio(tool, p):.2f}' for p in peers + [fastest]]
        row += [f'{benchlib.mib(tool.peak):.1f}', f'{per_entry[tool.label]:.0f}']
        rows.append(row + benchlib.after_before(args, tool.label, by_label))
    benchlib.table(headers, rows)
    print('\nEvery tool: median wall and processor seconds, peak memory\n')
    benchlib.table([t.label for t in tools + peers], [[benchlib.summary(t) for t in tools + peers]])
    per_million = benchlib.median(by_label['qmzip']) / entries * 1e6
    benchlib.print_verdicts([
        benchlib.at_most(per_million, TIME_LIMIT_PER_MILLION, 'seconds per million entries'),
        benchlib.at_most(per_entry['qmzip'], BYTES_PER_ENTRY_LIMIT, 'bytes per entry')])
    return 0


if __name__ == '__main__':
    sys.exit(main())
