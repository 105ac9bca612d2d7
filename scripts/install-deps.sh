#!/usr/bin/env bash
# Installs the Debian packages Tonvelo needs: `install-deps.sh run` what
# building and running it take, `install-deps.sh test` that and what the tests
# take, `install-deps.sh windows` what cross-building the Windows program
# takes. `--list` prints the packages instead. Idempotent and quiet when
# everything is already there.
#
# This runs on the user's own desktop: it never removes a package (apt fails
# instead) and installs nothing that conflicts with a desktop's own sound
# set-up (pipewire-audio, pipewire-alsa, pipewire-pulse, wireplumber), so no
# PulseAudio daemon.
set -euo pipefail

run_packages=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev libx11-dev
  # Qt's platform interface: input held during the demo goes back through it
  qt6-base-private-dev
  libfluidsynth-dev librtmidi-dev libjack-jackd2-dev libasound2-dev
  # the synth's own PipeWire and PulseAudio streams
  libpipewire-0.3-dev libpulse-dev
  # Qt's X11 and native Wayland platforms
  qt6-qpa-plugins qt6-wayland
  # the synth's soundfont; the fonts the captions name, or their stand-ins
  fluid-soundfont-gm
  fonts-arphic-ukai fonts-arphic-uming fonts-noto-cjk fonts-liberation2
  # PNG icons drawn from the SVG at build time, and the theme that finds them
  librsvg2-bin hicolor-icon-theme
)

test_packages=(
  libgtest-dev
  # the code layout the tests check: one version on every release
  clang-format-19
  # private sound servers: JACK, and PipeWire as desktops run it (session
  # manager, PulseAudio service, JACK interface); pactl asks the PulseAudio one
  jackd2 pipewire pipewire-bin wireplumber pipewire-pulse pipewire-jack dbus
  pulseaudio-utils
  xvfb xdotool x11-xserver-utils
  # a window manager on the tests' X display, for the menus' keyboard focus
  openbox
  # setxkbmap, for the keyboard layout tests
  x11-xkb-utils
  # real key presses sent by the keyboard tests and the latency benchmark (XTEST)
  libxtst-dev
  # the package and desktop files' checks; dpkg-shlibdeps, which CPack finds with file
  desktop-file-utils appstream dpkg-dev file lintian
  # the Wayland test's compositor and its picture taker (no Xwayland, so that
  # nothing falls back to X11 unseen)
  sway grim
)
# The PulseAudio daemon's own libraries, named as each release names them:
# the tests run the daemon unpacked, as its package conflicts with
# PipeWire's PulseAudio service. Known once apt's lists are there.
pulse_daemon_libraries() {
  apt-cache depends pulseaudio 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^lib(tdb|soxr|speexdsp|wrap)[0-9]/ { print $2 }'
}

# The Windows program, cross-built: MinGW-w64 with POSIX threads, the icon
# drawn from the SVG (rsvg-convert) and packed as .ico (icotool), the installer
windows_packages=(
  cmake make
  g++-mingw-w64-x86-64-posix
  librsvg2-bin icoutils
  nsis
)

# The Windows tests run it under Wine, 64-bit only (Wine 8 on Debian 12, 10
# on 13); the X libraries Wine's display driver loads at run time, and Wine's
# own dialog fonts; GoogleTest's sources, cross-built for the unit tests
wine_test_packages=(
  wine wine64 fonts-wine
  libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3
  googletest
)

usage() {
  echo "usage: $0 [--list] run|test|windows" >&2
  exit 2
}

list_only=false
if [ "${1:-}" = --list ]; then
  list_only=true
  shift
fi
case "${1:-}" in
  run) packages=("${run_packages[@]}") ;;
  test) mapfile -t extra < <(pulse_daemon_libraries)
    packages=("${run_packages[@]}" "${test_packages[@]}" "${windows_packages[@]}" "${wine_test_packages[@]}"
      "${extra[@]}") ;;
  windows) packages=("${windows_packages[@]}") ;;
  *) usage ;;
esac

if $list_only; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo -E)
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
if [ "$1" = test ] && [ ${#extra[@]} -eq 0 ]; then
  mapfile -t extra < <(pulse_daemon_libraries)
  missing+=("${extra[@]}")
fi
# --no-remove: should anything have to go to make room, apt stops instead.
"${as_root[@]}" apt-get install -y -qq --no-remove --no-install-recommends "${missing[@]}" >/dev/null
