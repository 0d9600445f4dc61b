#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Installs only what is missing, so it is
# cheap to run before every build.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ clang pkg-config ccache
    # checks: formatting, and the sanitizer and libFuzzer runtimes of clang
    clang-format libclang-rt-14-dev
    qt6-base-dev qt6-svg-dev libxkbcommon-dev libgl-dev libxcb-xfixes0-dev
    flite1-dev flite libpulse-dev
    # the voices of other languages: eSpeak NG's library to build with, and its voices and dictionaries
    libespeak-ng-dev espeak-ng-data
    # the statistical voice: the HTS engine library to build with; the voice file (its package pulls in
    # festival, which the program never runs)
    libhtsengine-dev festvox-us-slt-hts
    # language identification: the library and its fingerprints of some 160 languages
    libexttextcat-dev libexttextcat-data
    # kanji readings for Japanese: KAKASI's library and its dictionary
    libkakasi2-dev kakasi-dic
    # run: fonts that stand in for the classic dialog fonts, and the sound server's client library
    fonts-liberation fonts-dejavu-core qt6-qpa-plugins libqt6svg6 libpulse0
    # headless tests: X server, sound server with a null sink, tray host, input and screenshot tools
    xvfb xauth pulseaudio pulseaudio-utils xdotool xclip x11-utils imagemagick sox trayer openbox libxtst-dev
    # tests only: the desktop's dark theme (GTK 3 platform theme with Adwaita:dark) for the contrast test
    qt6-gtk-platformtheme gnome-themes-extra
    # the private session bus of the single-program tests, and the gdbus the desktop actions call
    dbus-daemon libglib2.0-bin
    # tests only, never used at run time: festival writes the reference labels of the HTS voice
    # (tools/hts-reference-labels.sh), hts_engine synthesises from labels by hand
    festival htsengine
    # packaging and its checks
    dpkg-dev fakeroot file lintian appstream desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "error: these Debian packages are missing and neither root nor sudo is available to install them:" >&2
    echo "  ${missing[*]}" >&2
    echo "Install them as root (apt-get install ${missing[*]}) and run the command again." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
