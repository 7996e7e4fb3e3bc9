# Sourced by wine-run.sh and wine32-run.sh: what both launchers do around Wine.
# Expects $me (the launcher's name, for its messages) to be set.

# When DISPLAY is unset (a single program run by hand) a private Xvfb is started
# for this one program and stopped when the launcher exits.
. "$(dirname "$0")/xvfb.sh"
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb "$me"
fi
trap stop_xvfb EXIT

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
        [ -e "$font" ] || continue  # an empty folder (Wine without fonts-wine)
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
