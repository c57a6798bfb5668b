#!/usr/bin/env python3
"""Times `qmzip test` against libzip's loop reading every entry, 7zz t and unzip -t on the five
corpora of corpora.py, and prints the ratios as a markdown table.

usage: bench/test_bench.py [--qmzip PATH] [--baseline PATH] [--runs N] [--cores 1]
                           [--scale F] [--workdir DIR] [--only jar,tree,...]
The options, corpora and targets are those of extract_bench.py (at most 0.6 of the fastest
peer, 0.8 with --cores 1; peak at most 64 MiB).
"""
import sys

import extract_bench

if __name__ == '__main__':
    sys.exit(extract_bench.main('test'))
