"""The generated corpora of the extract, test and add benches.

At scale 1 they stand for the ones the speed figures were first taken on:
  jar          a jar-like archive: about 10,900 entries of class-like files, about 22 MB
  tree         a source-like tree: about 37,800 files in 2,100 folders, 294 MB, deflated
  tree-stored  the same tree, stored
  large        two 512 MiB files (log text, and text mixed with incompressible runs), deflated
  large-stored the same two files, stored
Contents come from seeded generators and every file gets the same time, and the archives are
made by Info-ZIP zip without extra fields (-X), so the same scale gives the same bytes. They are
made once under WORKDIR/corpora-<recipe>-s<scale>/ and reused; the sources stay beside them
(the add bench and the cp floor read them).
"""
import itertools
import os
import random
import subprocess
import sys
import zipfile

RECIPE = 'v1'
FIXED_TIME = 1704067200  # 2024-01-01 00:00 UTC


def corpus_root(workdir, scale):
    return os.path.join(workdir, f'corpora-{RECIPE}-s{scale:g}')


def _words(rng, count):
    return [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz_') for _ in range(rng.randint(2, 10)))
            for _ in range(count)]


def text_pool(seed, size):
    """Source-like text: lines of words, the common ones far more often (as in code), with
    indentation and punctuation."""
    rng = random.Random(seed)
    words = _words(rng, 3000)
    weights = list(itertools.accumulate(1 / (rank + 1) for rank in range(len(words))))
    lines, n = [], 0
    while n < size:
        line = ' ' * (4 * rng.randint(0, 3)) + ' '.join(
            rng.choices(words, cum_weights=weights, k=rng.randint(1, 12)))
        line += rng.choice(';;{}(),') + '\n'
        lines.append(line)
        n += len(line)
    return ''.join(lines).encode()


def make_tree(root, files, mean_size=7700, seed=1):
    """files text files of exponentially distributed sizes in a random tree of folders."""
    rng = random.Random(seed)
    pool = text_pool(seed + 100, 8 << 20)
    folders = [root]
    for k in range(max(1, files // 18)):
        folders.append(os.path.join(rng.choice(folders), f'm{k:04d}'))
    for folder in folders:
        os.makedirs(folder, exist_ok=True)
    for i in range(files):
        size = min(int(rng.expovariate(1 / mean_size)) + 16, len(pool) // 2)
        start = rng.randrange(len(pool) - size)
        with open(os.path.join(rng.choice(folders), f'f{i:06d}.txt'), 'wb') as f:
            f.write(pool[start:start + size])


def make_jar(root, files, seed=3):
    """Class-like files (identifiers and descriptors between runs of bytecode) in packages."""
    rng = random.Random(seed)
    names = [f'{a}/{b}' for a, b in zip(_words(rng, 600), _words(rng, 600))]
    symbols = ([f'L{n};'.encode() for n in names] + [w.encode() for w in _words(rng, 2000)] +
               [b'java/lang/Object', b'<init>', b'Code', b'LineNumberTable', b'StackMapTable'])
    packages = [os.path.join(root, 'net', 'quillmark', f'm{i // 40:02d}', f'p{i:03d}')
                for i in range(max(1, files // 34))]
    os.makedirs(os.path.join(root, 'META-INF'), exist_ok=True)
    with open(os.path.join(root, 'META-INF', 'MANIFEST.MF'), 'wb') as f:
        f.write(b'Manifest-Version: 1.0\r\nCreated-By: bench\r\n\r\n')
    for folder in packages:
        os.makedirs(folder, exist_ok=True)
    for i in range(files):
        parts = [b'\xca\xfe\xba\xbe\x00\x00\x00\x37']
        size = int(rng.lognormvariate(8.18, 0.8))
        local = rng.sample(symbols, 60)
        n = 0
        while n < size:
            part = rng.choice(local) if rng.random() < 0.8 else rng.randbytes(rng.randint(1, 6))
            parts.append(part)
            n += len(part)
        with open(os.path.join(packages[i % len(packages)], f'C{i:05d}.class'), 'wb') as f:
            f.write(b''.join(parts))


def make_log(path, size, seed=2):
    """Log lines; a 16 MiB block made once and written again (deflate sees 32 KiB at a time)."""
    rng = random.Random(seed)
    lines, n = [], 0
    while n < min(size, 16 << 20):
        line = (f'2024-01-{rng.randint(1, 28):02d} {rng.randint(0, 86399):05d} '
                f'{rng.choice(["INFO", "INFO", "INFO", "WARN", "DEBUG"])} '
                f'worker-{rng.randint(1, 64)} '
                f'request {rng.getrandbits(40):010x} took {rng.randint(1, 5000)} ms '
                f'status {rng.choice([200, 200, 200, 404, 500])}\n')
        lines.append(line)
        n += len(line)
    _write_repeated(path, ''.join(lines).encode(), size)


def make_mixed(path, size, seed=4):
    """Text with runs of incompressible bytes between, as a build output or a database has."""
    rng = random.Random(seed)
    text = text_pool(seed + 100, 4 << 20)
    parts, n = [], 0
    while n < min(size, 16 << 20):
        k = rng.randint(512, 8192)
        if rng.random() < 0.5:
            part = rng.randbytes(k)
        else:
            start = rng.randrange(len(text) - k)
            part = text[start:start + k]
        parts.append(part)
        n += k
    _write_repeated(path, b''.join(parts), size)


def make_noise(path, size, seed=5):
    rng = random.Random(seed)
    _write_repeated(path, rng.randbytes(min(size, 16 << 20)), size)


def _write_repeated(path, block, size):
    with open(path, 'wb') as f:
        left = size
        while left > 0:
            f.write(block[:left])
            left -= min(left, len(block))


def _fix_times(root):
    for folder, dirs, files in os.walk(root):
        for name in files + dirs:
            os.utime(os.path.join(folder, name), (FIXED_TIME, FIXED_TIME))
    os.utime(root, (FIXED_TIME, FIXED_TIME))


def _make_sources(base, scale):
    """The source folders, made when missing: {name: (folder, members)}."""
    large = max(4096, int(512 * (1 << 20) * scale) // 4096 * 4096)
    recipes = {
        'jar': (lambda d: make_jar(d, max(30, round(10_500 * scale))), None),
        'tree': (lambda d: make_tree(d, max(30, round(37_848 * scale))), None),
        'large': (lambda d: (make_log(os.path.join(d, 'big1.log'), large),
                             make_mixed(os.path.join(d, 'big2.dat'), large)),
                  ['big1.log', 'big2.dat']),
    }
    sources = {}
    for name, (make, members) in recipes.items():
        folder = os.path.join(base, 'src', name)
        done = folder + '.done'
        if not os.path.exists(done):
            subprocess.run(['rm', '-rf', folder], check=True)
            os.makedirs(folder)
            print(f'making the {name} files ({folder}) ...', file=sys.stderr, flush=True)
            make(folder)
            _fix_times(folder)
            open(done, 'w').close()
        # A folder's members are its top names, so an archive holds paths below the folder.
        sources[name] = (folder, members or sorted(os.listdir(folder)))
    return sources


class Corpus:
    def __init__(self, name, archive, source, members):
        self.name, self.archive, self.source, self.members = name, archive, source, members
        with zipfile.ZipFile(archive) as z:
            infos = z.infolist()
        self.entries = len(infos)
        self.files = sum(1 for i in infos if not i.is_dir())
        self.bytes = sum(i.file_size for i in infos)
        self.deflated = any(i.compress_type == zipfile.ZIP_DEFLATED for i in infos)

    def title(self):
        kind = self.name.split('-')[0]
        if kind == 'large':
            count = f'{self.files} × {self.bytes / self.files / (1 << 20):.0f} MiB'
        elif kind == 'jar':
            count = f'jar-like, {self.entries:,} entries, {self.bytes / 1e6:.0f} MB'
        else:
            count = f'{kind}, {self.files:,} files, {self.bytes / 1e6:.0f} MB'
        if not self.deflated:
            return f'{count}, stored'
        return f'{count}, deflated to {os.path.getsize(self.archive) / 1e6:.0f} MB'


def sources(workdir, scale):
    return _make_sources(corpus_root(workdir, scale), scale)


def archives(workdir, scale, only=()):
    """The five corpora of the extract and test benches, as Corpus objects."""
    base = corpus_root(workdir, scale)
    srcs = _make_sources(base, scale)
    corpora = []
    for name, src, level in (('jar', 'jar', '-6'), ('tree', 'tree', '-6'),
                             ('tree-stored', 'tree', '-0'), ('large', 'large', '-6'),
                             ('large-stored', 'large', '-0')):
        if only and name not in only:
            continue
        folder, members = srcs[src]
        archive = os.path.join(base, name + '.zip')
        if not os.path.exists(archive):
            print(f'zipping {name} ...', file=sys.stderr, flush=True)
            subprocess.run(['zip', '-q', '-X', '-r', level, archive + '.part.zip'] + members,
                           cwd=folder, check=True)
            os.replace(archive + '.part.zip', archive)
        corpora.append(Corpus(name, archive, folder, members))
    return corpora


NAMES = ('jar', 'tree', 'tree-stored', 'large', 'large-stored')


def tree_summary(folder):
    """(files, bytes) of the regular files below folder."""
    files = total = 0
    for root, _, names in os.walk(folder):
        for name in names:
            st = os.lstat(os.path.join(root, name))
            files += 1
            total += st.st_size
    return files, total
