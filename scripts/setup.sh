#!/usr/bin/env bash
# Installs every Debian package that the build, the application and the tests need.
# Idempotent: when everything is present it only checks.
set -euo pipefail

PACKAGES=(
    # build
    cmake ninja-build pkg-config ccache g++ clang libclang-rt-14-dev clang-format-14
    # the RealtimeSanitizer stage (clang 22, from bookworm-security) and the sanitizers' symbolizer
    clang-22 libclang-rt-22-dev llvm
    juce-modules-source libresample1-dev libjack-jackd2-dev
    libflac-dev libvorbis-dev libogg-dev libfreetype-dev libpng-dev libjpeg-dev
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    # running the application without a desktop: virtual display and JACK's dummy backend
    xvfb xauth xdotool imagemagick jackd2 jconvolver fonts-dejavu-core openbox util-linux
    # test oracles and benchmark references
    python3-numpy python3-scipy sox libsox-fmt-all
    libfftw3-dev libkissfft-dev libzita-convolver-dev libsamplerate0-dev libsoxr-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all ${#PACKAGES[@]} packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
