#!/bin/sh
# Makes a Debian 13 root with that release's Wine 10 (64-bit), so that the x86_64 suite
# also runs under a second, newer Wine than the machine's own. debootstrap lays out a
# minimal Debian 13 from the mirror of the machine's own Debian sources; apt inside it
# adds wine64. About 1.4 GB, made once in a few minutes and kept outside the clone.
# Usage: wine10-root.sh DIR   (DIR/.derar-ready, written last, marks a whole root;
# a root without it, half-made or from an older layout, is made again from nothing)
set -eu
dir=$(realpath -m "$1")
# The layout's version: a change to what goes into the root remakes it once.
layout=1
ready="$dir/.derar-ready"
[ "$(cat "$ready" 2>/dev/null)" = "$layout" ] && [ -x "$dir/usr/lib/wine/wine64" ] && exit 0

mkdir -p "$(dirname "$dir")"
# One maker at a time for every clone that shares the root; a later one finds it made.
exec 8>"$dir.lock"
flock 8
[ "$(cat "$ready" 2>/dev/null)" = "$layout" ] && [ -x "$dir/usr/lib/wine/wine64" ] && exit 0

command -v debootstrap >/dev/null || { echo "wine10-root.sh: debootstrap is missing (./derar.sh deps installs it)" >&2; exit 1; }
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
# The archive that serves this machine's own release (its mirror, as its apt is configured).
mirror=$(python3 "$(dirname "$0")/debian-sources.py" --mirror "$suite")
started=$(date +%s)
echo "wine10-root.sh: making a Debian 13 root with Wine 10 in $dir from $mirror" >&2

# Whatever a broken run left: mounts of an interrupted chroot are only in its own
# namespace, so the folder is plain files.
rm -rf "$dir"
mkdir -p "$dir"
# A mirror in the middle of its sync fails for a while: four more tries of each step.
again() {
    tries=1
    until "$@"; do
        [ "$tries" -ge 5 ] && return 1
        echo "wine10-root.sh: '$*' failed; again in $((tries * 15)) s" >&2
        sleep $((tries * 15))
        tries=$((tries + 1))
    done
}
# debootstrap keeps what it downloaded in the root's apt cache, so a try resumes it.
again debootstrap --variant=minbase --keyring=/usr/share/keyrings/debian-archive-keyring.gpg \
    trixie "$dir" "$mirror" >"$dir.log" 2>&1 ||
    { echo "wine10-root.sh: debootstrap failed (see $dir.log)" >&2; exit 1; }

# apt inside the root, in a mount namespace of its own: /proc and /dev for dpkg's scripts,
# the machine's name servers for the download.
in_root() {
    unshare -m sh -c '
        mount --make-rprivate /
        mount -t proc proc "$0/proc"
        mount --rbind /dev "$0/dev"
        cp /etc/resolv.conf "$0/etc/resolv.conf" 2>/dev/null || true
        exec chroot "$0" "$@"' "$dir" "$@"
}
cat >"$dir/etc/apt/apt.conf.d/90derar" <<'EOF'
APT::Install-Recommends "false";
APT::Install-Suggests "false";
EOF
again in_root env DEBIAN_FRONTEND=noninteractive apt-get -qq update >>"$dir.log" 2>&1 &&
    again in_root env DEBIAN_FRONTEND=noninteractive apt-get -qq -y install wine64 >>"$dir.log" 2>&1 ||
    { echo "wine10-root.sh: installing wine64 into the root failed (see $dir.log)" >&2; exit 1; }
in_root apt-get clean
[ -x "$dir/usr/lib/wine/wine64" ] || { echo "wine10-root.sh: the root has no /usr/lib/wine/wine64" >&2; exit 1; }
version=$(in_root /usr/lib/wine/wine64 --version 2>/dev/null || true)
echo "$layout" >"$ready"
echo "wine10-root.sh: $version ready in $(( $(date +%s) - started )) s ($(du -sh "$dir" | cut -f1))" >&2
