# Shared by the set-up scripts: packages, build folder, build.
set -euo pipefail

QUILL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QUILL_BUILD="${QUILL_BUILD:-$QUILL_ROOT/build}"

# Everything the program, its build and its tests need from Debian.
QUILL_PACKAGES=(
    poppler-utils
    cmake ninja-build g++ pkg-config
    qt6-base-dev libqt6sql6-sqlite qt6-image-formats-plugins qt6-qpa-plugins libgl-dev
    libwmf-dev libjpeg62-turbo-dev libbenchmark-dev libseccomp-dev libheif-dev liblcms2-dev libtiff-dev libavif-dev
    libpng-dev libwebp-dev libgif-dev
    fonts-liberation fonts-dejavu-core fonts-urw-base35
    zlib1g-dev libsqlite3-dev sqlite3 xvfb xauth dpkg-dev fakeroot openbox xdotool
    dbus at-spi2-core python3-pyatspi
    # remaking the public test pictures' references (tests/pictures/public/*/make.sh)
    imagemagick libheif-examples libavif-bin webp libimage-exiftool-perl
    dosfstools fusefat
    libaom-dev python3
)

# What only the benchmarks compare against, never needed to build or test: the thumbnailers a
# Linux desktop uses (bench/decoderbench.cpp, "thumbnailers"). Installed by scripts/bench.sh.
QUILL_BENCH_PACKAGES=(
    libvips-tools libgdk-pixbuf2.0-bin heif-thumbnailer
)

# Installs what is missing of the packages named (by default QUILL_PACKAGES).
install_missing_packages() {
    local missing=()
    local wanted=("$@")
    ((${#wanted[@]})) || wanted=("${QUILL_PACKAGES[@]}")
    for pkg in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

build_quillbook() {
    cmake -S "$QUILL_ROOT" -B "$QUILL_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$QUILL_BUILD" --parallel "$(nproc)"
}
