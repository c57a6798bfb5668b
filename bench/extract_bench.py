#!/usr/bin/env python3
"""Times `qmzip extract` against libzip, bsdtar, 7zz and unzip (and cp of the same files, the
floor) on the five corpora of corpora.py, and prints the ratios as a markdown table.

usage: bench/extract_bench.py [--qmzip PATH] [--baseline PATH] [--runs N] [--cores 1]
                              [--scale F] [--workdir DIR] [--only jar,tree,...]
bench/test_bench.py is the same for `qmzip test` (libzip's loop reading every entry, 7zz t,
unzip -t). Every tool extracts into an empty folder; after the first round each output is
checked (number of files and bytes) so that a tool that did less cannot look fast.
Targets: qmzip at most 0.6 of the fastest peer's time (0.8 with --cores 1); on the stored
large files, where writing is the floor, at most 1.1 × cp; peak memory at most 64 MiB.
"""
import os
import sys

import benchlib
import corpora


def extract_tools(args, corpus, libzip):
    a = corpus.archive

    def check(out):
        found = corpora.tree_summary(out)
        if found != (corpus.files, corpus.bytes):
            raise RuntimeError(f'{out}: {found[0]} files, {found[1]} bytes; the archive holds '
                               f'{corpus.files} files, {corpus.bytes} bytes')

    sources = [os.path.join(corpus.source, m) for m in corpus.members]
    tools = [benchlib.Tool(label, lambda d, q=path: [q, 'extract', a, '-d', d,
                                                     '--overwrite', 'always'], check)
             for label, path in benchlib.subjects(args)]
    tools += [
        benchlib.Tool('libzip', lambda d: [libzip, 'extract', a, d], check),
        benchlib.Tool('bsdtar', lambda d: ['bsdtar', '-xf', a, '-C', d], check),
        benchlib.Tool('7zz', lambda d: ['7zz', 'x', '-y', '-bd', '-bso0', a, '-o' + d], check),
        benchlib.Tool('unzip', lambda d: ['unzip', '-q', '-o', a, '-d', d], check),
        benchlib.Tool('cp', lambda d: ['cp', '-r'] + sources + [d], check),
    ]
    return tools


def test_tools(args, corpus, libzip):
    a = corpus.archive
    tools = [benchlib.Tool(label, lambda d, q=path: [q, 'test', a])
             for label, path in benchlib.subjects(args)]
    tools += [
        benchlib.Tool('libzip', lambda d: [libzip, 'test', a]),
        benchlib.Tool('7zz', lambda d: ['7zz', 't', '-bd', '-bso0', a]),
        benchlib.Tool('unzip', lambda d: ['unzip', '-tq', a]),
    ]
    return tools


def main(task):
    extracting = task == 'extract'
    ap = benchlib.parser(sys.modules['__main__'].__doc__)
    ap.add_argument('--only', default='',
                    help='comma-separated corpora: ' + ','.join(corpora.NAMES))
    args = ap.parse_args()
    benchlib.setup(args, ['zip', 'bsdtar', '7zz', 'unzip', 'cp'])
    only = set(filter(None, args.only.split(',')))
    if only - set(corpora.NAMES):
        sys.exit('unknown corpora: ' + ', '.join(sorted(only - set(corpora.NAMES))))
    libzip = benchlib.libzip_tool(args.workdir)
    make_tools = extract_tools if extracting else test_tools
    out = benchlib.scratch(args, 'out-' + task)

    results = []
    for corpus in corpora.archives(args.workdir, args.scale, only):
        print(f'{task} {corpus.name}: {corpus.title()}', file=sys.stderr, flush=True)
        benchlib.warm(corpus.archive)
        tools = make_tools(args, corpus, libzip)
        benchlib.paired(tools, args.runs, args.prefix, args.workdir, out,
                        make_out=os.makedirs if extracting else None)
        results.append((corpus, {t.label: t for t in tools}))

    peers = [p for p in ('libzip', 'bsdtar', '7zz', 'unzip') if p in results[0][1]]
    benchlib.heading(args, f'qmzip {task}')
    headers = ['corpus', 'qmzip', 'time (s)'] + [f'÷ {p}' for p in peers] + ['÷ fastest']
    headers += (['÷ cp'] if extracting else []) + ['peak (MiB)']
    rows, verdicts = [], []
    for corpus, tools in results:
        fastest = benchlib.fastest([tools[p] for p in peers])
        for label, _ in benchlib.subjects(args):
            ours = tools[label]
            row = [corpus.title(), benchlib.build_name(args, label), f'{benchlib.median(ours):.3f}']
            row += [f'{benchlib.ratio(ours, t):.2f}' for t in [tools[p] for p in peers] + [fastest]]
            if extracting:
                row.append(f'{benchlib.ratio(ours, tools["cp"]):.2f}')
            row += [f'{benchlib.mib(ours.peak):.1f}'] + benchlib.after_before(args, label, tools)
            rows.append(row)
        ours = tools['qmzip']
        if extracting and corpus.name == 'large-stored':
            # Writing the files is the floor here: the target is cp's time, not a peer's.
            verdicts.append(benchlib.at_most(benchlib.ratio(ours, tools['cp']), 1.1,
                                             f'{corpus.name}: ÷ cp'))
        else:
            value = benchlib.ratio(ours, fastest)
            verdicts.append(benchlib.at_most(value, benchlib.ratio_limit(args),
                                             f'{corpus.name}: ÷ fastest'))
        verdicts.append(benchlib.peak_verdict(corpus.name, ours))
    benchlib.table(headers + benchlib.after_before_header(args), rows)

    print('\nEvery tool: median wall and processor seconds, peak memory\n')
    labels = list(results[0][1])
    benchlib.table(['corpus'] + labels,
                   [[corpus.name] + [benchlib.summary(tools[t]) for t in labels]
                    for corpus, tools in results])
    benchlib.print_verdicts(verdicts)
    return 0


if __name__ == '__main__':
    sys.exit(main('extract'))
