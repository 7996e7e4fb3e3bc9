#!/bin/sh
# Lays out Debian's own 32-bit Wine in a private folder, run under qemu-i386
# user-mode emulation: this machine's processor cannot enter 32-bit code, so
# the i686 build can only run this way. Nothing is installed system-wide and
# the 64-bit Wine is left untouched.
# Usage: wine32-setup.sh DIR   (DIR/sysroot is the result; DIR/.ready marks it done)
set -eu
dir=$(realpath -m "$1")
# Done when marked, with the marked zlib1.dll and the newer emulator (a layout of an
# older script had qemu-i386-static).
[ -f "$dir/.ready" ] && [ -x "$dir/sysroot/usr/bin/qemu-i386" ] &&
    grep -q "Wine builtin DLL" "$dir/sysroot/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll" 2>/dev/null && exit 0

apt="$dir/apt"
root="$dir/sysroot"
mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/parts" "$apt/prefs"
: >"$apt/status"
# The machine's own Debian sources (its mirror, as its apt is configured), both
# architectures, and the release's backports suite for the emulator.
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
python3 "$(dirname "$0")/debian-sources.py" "$suite" >"$apt/sources.list"
cat >"$apt/apt.conf" <<EOF
Dir::State "$apt";
Dir::State::lists "$apt/lists";
Dir::State::status "$apt/status";
Dir::Cache "$apt";
Dir::Cache::archives "$apt/archives";
Dir::Etc::sourcelist "$apt/sources.list";
Dir::Etc::sourceparts "$apt/parts";
Dir::Etc::preferencesparts "$apt/prefs";
APT::Architecture "amd64";
APT::Architectures { "amd64"; "i386"; };
APT::Install-Recommends "false";
APT::Sandbox::User "root";
Debug::NoLocking "true";
EOF
export APT_CONFIG="$apt/apt.conf"
# A mirror in the middle of its sync serves lists that disagree with their release
# file for a while ("File has unexpected size ... Mirror sync in progress?"): each apt
# step gets four more tries. After the last, an update goes on with the lists it got,
# and the download says whether they were enough.
again() {
    tries=1
    until "$@"; do
        [ "$tries" -ge 5 ] && return 1
        echo "wine32-setup.sh: '$*' failed; again in $((tries * 15)) s" >&2
        sleep $((tries * 15))
        tries=$((tries + 1))
    done
}
again apt-get -qq update ||
    echo "wine32-setup.sh: some package lists could not be fetched; going on with the others" >&2
# With an empty package status the whole dependency closure is downloaded, down to the C library.
# The emulator must be qemu 10 or newer: Debian 12's qemu 7.2 treats MAP_FIXED_NOREPLACE as a
# hint, and every 32-bit Wine start then retries its fixed mappings for minutes; qemu 10
# honours the flag (its qemu-user holds static emulators; qemu-user-static is only a name).
# Debian 13 has it in the release, Debian 12 in backports.
qemu_pkg="qemu-user:amd64/$suite-backports"
release_qemu=$(apt-cache policy qemu-user:amd64 | sed -n 's/^ *Candidate: *//p')
case $release_qemu in ''|'(none)') ;; *)
    dpkg --compare-versions "$release_qemu" ge 1:10 && qemu_pkg=qemu-user:amd64 ;;
esac
again apt-get -qq -y --download-only install wine32:i386 libwine:i386 libz-mingw-w64 "$qemu_pkg" >/dev/null

rm -rf "$root"
mkdir -p "$root"
for deb in "$apt"/archives/*.deb; do dpkg-deb -x "$deb" "$root"; done
# Debian 13's packages put everything under /usr (the 32-bit dynamic loader is only
# /usr/lib/ld-linux.so.2): the links of a merged /usr, which the base system would make.
for d in bin sbin lib; do
    [ -e "$root/$d" ] || [ ! -d "$root/usr/$d" ] || ln -s "usr/$d" "$root/$d"
done

qemu="$root/usr/bin/qemu-i386"
[ -x "$qemu" ] || { echo "wine32-setup.sh: qemu-i386 is missing" >&2; exit 1; }
# Only the i386 emulator is needed; the package brings one for every processor (370 MB).
find "$root/usr/bin" -name 'qemu-*' ! -name qemu-i386 -delete
# The guest's own library cache, so that its dynamic loader finds the i386 libraries.
ldconfig -r "$root" -X

# Wine starts each new Windows process by running its loader again, and there is no
# binfmt_misc here to hand an i386 binary to qemu: the loader becomes a script that does.
loader="$root/usr/lib/wine/wine"
[ -f "$loader.elf" ] || mv "$loader" "$loader.elf"
cat >"$loader" <<EOF
#!/bin/sh
exec "$qemu" -L "$root" -0 "\$0" "$loader.elf" "\$@"
EOF
chmod +x "$loader"

# Wine's zlib1.dll is MinGW's, marked as one of Wine's own DLLs (64 bytes of its DOS
# header, then the marker "Wine builtin DLL" and 16 zero bytes in place of bytes 65 to
# 96), as Debian's libwine does after installing: without the mark the loader passes
# over it, and user32.dll, which needs it, cannot load.
z="$root/usr/i686-w64-mingw32/lib/zlib1.dll"
out="$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
[ -f "$z" ] || { echo "wine32-setup.sh: MinGW's zlib1.dll is missing" >&2; exit 1; }
rm -f "$out"
{ head -c 64 "$z"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$z"; } >"$out"
touch "$dir/.ready"
