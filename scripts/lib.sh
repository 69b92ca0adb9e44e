# Shared by scripts/run and scripts/test: the packages the builds and Wine need, and the three
# builds. Every step is a quick no-op when it has been done already.

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"

packages=(cmake ninja-build g++ libgtest-dev g++-mingw-w64-x86-64 g++-mingw-w64-i686
          wine64 xvfb fonts-wqy-zenhei locales imagemagick python3 python3-pil
          clang libclang-rt-14-dev)
# Under Wine: 宋体's stand-in (a Song face with bitmaps for small sizes) and Marlett, which
# draws the title-bar buttons.
packages+=(fonts-arphic-uming fonts-wine)

install_missing() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# configure <folder> [cmake arguments...]
configure() {
    local folder=$1
    shift
    cmake -S "$top" -B "$build/$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

build_windows() {
    local arch
    for arch in "$@"; do
        configure "win-$arch" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake"
        cmake --build "$build/win-$arch"
    done
}

# The libFuzzer targets, built with clang and the sanitizers.
build_fuzz() {
    CC=clang CXX=clang++ configure fuzz -DTOVIK_FUZZ=ON
    cmake --build "$build/fuzz"
}

build_native() {
    configure native -DTOVIK_WIN64_DIR="$build/win-x86_64" -DTOVIK_WIN32_DIR="$build/win-i686" \
        -DTOVIK_FUZZ_DIR="$build/fuzz"
    cmake --build "$build/native"
}
