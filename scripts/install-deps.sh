#!/usr/bin/env bash
# Installs the Debian packages Tonvelo needs to build, run and test.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-qpa-plugins libgl-dev libx11-dev
  libfluidsynth-dev fluidsynth fluid-soundfont-gm
  librtmidi-dev libjack-jackd2-dev libasound2-dev jackd2
  # the synth's own PipeWire stream
  libpipewire-0.3-dev
  # private sound servers for the tests: PipeWire as desktops run it (with its
  # session manager, PulseAudio service and JACK interface), and PulseAudio alone
  pipewire pipewire-bin wireplumber pipewire-pulse pipewire-jack dbus
  pulseaudio pulseaudio-utils
  libgtest-dev
  # the code layout the tests check
  clang-format
  xvfb xdotool x11-xserver-utils
  # setxkbmap, for the keyboard layout tests
  x11-xkb-utils
  # real key presses sent by the latency benchmark (XTEST)
  libxtst-dev
  fonts-arphic-ukai fonts-arphic-uming fonts-noto-cjk fonts-liberation2
  # PNG icons drawn from the SVG at build time; the package's checks and its
  # computed library dependencies (dpkg-shlibdeps, which CPack finds with file)
  librsvg2-bin hicolor-icon-theme
  desktop-file-utils appstream dpkg-dev file
  # Qt's platform interface headers: the demo tests queue input the way a
  # window system does
  qt6-base-private-dev
  # native Wayland client; the Wayland test's compositor and its picture
  # taker (no Xwayland, so that nothing falls back to X11 unseen)
  qt6-wayland sway grim
)

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
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
