# Sourced by wine-run.sh and wine32-run.sh: what both launchers do around Wine.
# Expects $me (the launcher's name, for its messages) to be set.

# When DISPLAY is unset (a single program run by hand) a private Xvfb is started
# for this one program and stopped when the launcher exits.
own_xvfb=
if [ -z "${DISPLAY:-}" ]; then
    # A file of this run's own: programs started side by side must not read each other's display.
    fdfile=$(mktemp)
    exec 9>"$fdfile"
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    own_xvfb=$!
    exec 9>&-
    # -displayfd writes the chosen display number once the server is ready.
    n=
    for _ in $(seq 200); do n=$(cat "$fdfile" 2>/dev/null || true); [ -n "$n" ] && break; sleep 0.05; done
    rm -f "$fdfile"
    [ -n "$n" ] || { echo "$me: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$n"
fi
stop_own_xvfb() { [ -n "$own_xvfb" ] && kill "$own_xvfb" 2>/dev/null || true; }
trap stop_own_xvfb EXIT

# Wine's own fonts ("MS Sans Serif", Tahoma, Marlett; Debian's fonts-wine). Without
# them every dialog is drawn in a wider substitute face (labels wrap, the dialogs
# grow) and the caption buttons show letters instead of their glyphs.
wine_fonts=/usr/share/wine/fonts
if [ ! -d "$wine_fonts" ]; then
    echo "$me: Wine's fonts are not installed ($wine_fonts): dialogs are drawn in a substitute" \
         "face; ./derar.sh deps installs them (fonts-wine)" >&2
fi
# fonts_missing PREFIX: true when a font of Wine's is not in the prefix yet.
fonts_missing() {
    [ -d "$wine_fonts" ] || return 1
    for font in "$wine_fonts"/*; do
        [ -e "$1/drive_c/windows/Fonts/${font##*/}" ] || return 0
    done
    return 1
}
# copy_fonts PREFIX: also into a prefix made before the fonts were installed.
copy_fonts() {
    fonts_missing "$1" || return 0
    mkdir -p "$1/drive_c/windows/Fonts"
    cp -n "$wine_fonts"/* "$1/drive_c/windows/Fonts/"
}
