#!/usr/bin/env bash
# Makes every picture in resources/images/ and both typefaces in resources/fonts/ again.
# Needs Debian's /usr/bin/python3 with numpy, ImageMagick and JUCE (for the typeface tool, built
# once into a temporary folder). The program's build uses the committed results only.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
/usr/bin/python3 "$here/pictures.py"
/usr/bin/python3 "$here/pictures_capture.py"
/usr/bin/python3 "$here/pictures_irpanel.py"
/usr/bin/python3 "$here/pictures_results.py"
/usr/bin/python3 "$here/pictures_player.py"
"$here/routing-background.sh"

tool_build="${PELLMIX_TYPEFACE_TOOL_BUILD:-/tmp/pellmix-typeface-tool}"
cmake -S "$here/typefaces" -B "$tool_build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tool_build" >/dev/null
tool="$tool_build/pellmix_make_typeface_artefacts/Release/pellmix_make_typeface"
"$tool" "$here/typefaces/LeagueSpartan-Regular.otf" "$here/../fonts/PellmixSansBook.bin" "Pellmix Sans Book" 0
"$tool" "$here/typefaces/LeagueSpartan-Medium.otf" "$here/../fonts/PellmixSansMedium.bin" "Pellmix Sans Medium" 1
