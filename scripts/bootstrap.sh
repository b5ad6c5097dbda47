#!/usr/bin/env bash
# Installs everything Kadrix needs to build and test on Debian 12, and
# cross-builds the two libraries Debian does not ship for mingw-w64
# (GoogleTest, libjpeg-turbo) into a cache folder that later runs reuse.
#
# Idempotent: on a ready machine it only checks and returns in seconds.
# Prints the cache folder on its last line.
set -euo pipefail

CACHE=${KADRIX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kadrix}
ARCHES=(i686 x86_64)

SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

log() { echo "bootstrap: $*" >&2; }

HOST_PACKAGES=(
    cmake ninja-build make nasm pkg-config git
    clang libclang-rt-dev
    googletest libgtest-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
    wine wine64 wine32:i386 fonts-wine
    xvfb xauth x11-utils imagemagick fonts-dejavu-core
    ffmpeg ffmpegthumbnailer python3 nsis
    dpkg-dev
)
GST_PACKAGES=(
    gstreamer1.0-libav gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly
)

missing_packages() {
    local want=("${HOST_PACKAGES[@]}" "${GST_PACKAGES[@]}")
    local p
    for p in "${GST_PACKAGES[@]}"; do want+=("$p:i386"); done
    for p in "${want[@]}"; do
        if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed'; then
            echo "$p"
        fi
    done
}

install_packages() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        log "adding the i386 architecture"
        $SUDO dpkg --add-architecture i386
    fi
    local src=/etc/apt/sources.list.d/kadrix-deb-src.sources
    if [ ! -f "$src" ] && [ -f /etc/apt/sources.list.d/debian.sources ]; then
        log "enabling Debian source packages"
        sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$src" >/dev/null
        rm -f "$CACHE/.apt-updated"
    fi
    local missing
    missing=$(missing_packages)
    if [ -z "$missing" ] && [ -f "$CACHE/.apt-updated" ]; then
        return
    fi
    log "installing packages: $(echo $missing)"
    # A mirror caught mid-sync serves an index that fails its checksum; apt
    # then keeps the indexes it has, which is enough unless the two
    # architectures now see different versions (checked below).
    if ! $SUDO apt-get update -qq; then
        log "apt-get update reported errors; going on with the indexes it has"
    fi
    if [ -n "$missing" ]; then
        # shellcheck disable=SC2086
        if ! apt_install $missing xauth; then
            # When one architecture's security index is missing, its packages
            # lag the other's, and i386 libraries can't sit beside amd64 ones
            # of another version. The release's own suite has both at one
            # version.
            local codename
            codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
            log "retrying with the packages of $codename itself"
            # shellcheck disable=SC2086
            apt_install -t "$codename" $missing xauth
        fi
    fi
    mkdir -p "$CACHE" && touch "$CACHE/.apt-updated"
}

apt_install() {
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

toolchain_file() {
    echo "$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-$1.cmake"
}

build_gtest() {
    local arch=$1 prefix=$CACHE/$arch
    [ -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ] && return
    log "cross-building GoogleTest for $arch"
    local build=$CACHE/build/gtest-$arch
    rm -rf "$build"
    cmake -S /usr/src/googletest -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$(toolchain_file "$arch")" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$build" >/dev/null
    cmake --install "$build" >/dev/null
    rm -rf "$build"
}

fetch_jpeg_source() {
    local dir=$CACHE/src
    if ! ls -d "$dir"/libjpeg-turbo-*/ >/dev/null 2>&1; then
        log "fetching the libjpeg-turbo source package"
        mkdir -p "$dir"
        (cd "$dir" && apt-get source -qq libjpeg-turbo >/dev/null 2>&1)
    fi
    ls -d "$dir"/libjpeg-turbo-*/ | head -n 1
}

build_jpeg() {
    local arch=$1 prefix=$CACHE/$arch
    [ -f "$prefix/lib/cmake/libjpeg-turbo/libjpeg-turboConfig.cmake" ] && return
    local source
    source=$(fetch_jpeg_source)
    log "cross-building libjpeg-turbo for $arch"
    local build=$CACHE/build/jpeg-$arch
    rm -rf "$build"
    cmake -S "$source" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$(toolchain_file "$arch")" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF >/dev/null
    cmake --build "$build" >/dev/null
    cmake --install "$build" >/dev/null
    rm -rf "$build"
}

install_packages
for arch in "${ARCHES[@]}"; do
    build_gtest "$arch"
    build_jpeg "$arch"
done
echo "$CACHE"
