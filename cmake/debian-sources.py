#!/usr/bin/env python3
"""Prints the machine's own Debian package sources as one-line apt entries for
both architectures (i386 and amd64), plus the backports suite of the release.

wine32-setup.sh gives apt a private view with these entries, so that it
downloads from wherever the machine's own apt does (a local mirror, a proxy in
apt.conf.d), and takes the emulator from backports.

Usage: debian-sources.py [--mirror] CODENAME [ETC_APT_DIR]
With --mirror only the first archive that serves the release itself is printed
(its URI alone): wine10-root.sh makes the Debian 13 root from it.
Only entries of the release's own suites (CODENAME, -updates, -security,
-backports) with the component "main" are taken: other vendors' repositories
hold no i386 Wine and need not answer for it.
"""
import glob
import os
import sys


def one_line_entries(path):
    """Entries of a sources.list file: (uris, suites, components, options)."""
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line.startswith("deb "):
                continue
            words = line.split()[1:]
            options = {}
            if words and words[0].startswith("["):
                opts = []
                while words:
                    w = words.pop(0)
                    opts.append(w)
                    if w.endswith("]"):
                        break
                for opt in " ".join(opts).strip("[]").split():
                    if "=" in opt:
                        k, v = opt.split("=", 1)
                        options[k.lower()] = v
            if len(words) < 2:
                continue
            yield [words[0]], [words[1]], words[2:], options


def deb822_entries(path):
    """Stanzas of a .sources file (deb822): (uris, suites, components, options)."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    for stanza in text.split("\n\n"):
        fields, key = {}, None
        for line in stanza.splitlines():
            if line.startswith("#") or not line.strip():
                continue
            if line[0] in " \t" and key:  # a continuation line (a key block inline, say)
                fields[key] += "\n" + line.strip()
                continue
            if ":" not in line:
                continue
            key, value = line.split(":", 1)
            key = key.strip().lower()
            fields[key] = value.strip()
        if not fields or fields.get("enabled", "yes").lower() == "no":
            continue
        if "deb" not in fields.get("types", "").split():
            continue
        options = {}
        signed = fields.get("signed-by", "")
        if signed and "\n" not in signed:  # a file name; an inline key cannot go on one line
            options["signed-by"] = signed
        yield (fields.get("uris", "").split(), fields.get("suites", "").split(),
               fields.get("components", "").split(), options)


def main():
    args = sys.argv[1:]
    mirror_only = args[:1] == ["--mirror"]
    if mirror_only:
        args = args[1:]
    codename = args[0]
    etc = args[1] if len(args) > 1 else "/etc/apt"
    ours = {codename, codename + "-updates", codename + "-security", codename + "-backports"}
    files = [os.path.join(etc, "sources.list")] + sorted(glob.glob(os.path.join(etc, "sources.list.d", "*.list")))
    entries = []
    for path in files:
        if os.path.isfile(path):
            entries += one_line_entries(path)
    for path in sorted(glob.glob(os.path.join(etc, "sources.list.d", "*.sources"))):
        entries += deb822_entries(path)

    lines, have = [], set()
    for uris, suites, components, options in entries:
        if "main" not in components:
            continue
        for uri in uris:
            for suite in suites:
                if suite not in ours or (uri, suite) in have:
                    continue
                have.add((uri, suite))
                opts = "arch=i386,amd64"
                if "signed-by" in options:
                    opts += " signed-by=" + options["signed-by"]
                lines.append((uri, suite, opts))
    # Backports from every archive that serves the release itself.
    for uri, suite, opts in list(lines):
        if suite == codename and (uri, codename + "-backports") not in have:
            have.add((uri, codename + "-backports"))
            lines.append((uri, codename + "-backports", opts))
    if not any(suite == codename for _, suite, _ in lines):
        sys.exit("debian-sources.py: no source of Debian %s in %s" % (codename, etc))
    if mirror_only:
        print(next(uri for uri, suite, _ in lines if suite == codename))
        return
    for uri, suite, opts in lines:
        print("deb [%s] %s %s main" % (opts, uri, suite))


if __name__ == "__main__":
    main()
