# Shared by scripts/run and scripts/test: the packages the builds and Wine need, and the three
# builds. Every step is a quick no-op when it has been done already.

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"

packages=(cmake ninja-build g++ libgtest-dev g++-mingw-w64-x86-64 g++-mingw-w64-i686
          wine64 xvfb fonts-wqy-zenhei locales imagemagick python3 python3-pil
          clang libclang-rt-14-dev wine32:i386)
# Under Wine: 宋体's stand-in (a Song face with bitmaps for small sizes) and Marlett, which
# draws the title-bar buttons.
packages+=(fonts-arphic-uming fonts-wine)

# The i686 Tovik.exe needs 32-bit Wine, and this kernel starts no 32-bit Linux program by
# itself: qemu's user-mode emulator runs them, registered with binfmt_misc. Bookworm's qemu 7.2
# costs about a minute of CPU per Wine process; the backports build (10) is fast enough.
qemu_package=qemu-user
qemu_version=1:10
qemu=/usr/bin/qemu-i386
backports_list=/etc/apt/sources.list.d/tovik-bookworm-backports.sources
qemu_pin=/etc/apt/preferences.d/tovik-qemu-user
binfmt=/proc/sys/fs/binfmt_misc
binfmt_entry=$binfmt/qemu-i386

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"
}

qemu_is_recent() {
    installed "$qemu_package" &&
        dpkg --compare-versions "$(dpkg-query -W -f='${Version}' "$qemu_package")" ge "$qemu_version"
}

# Backports is added as a source only if no source has it yet, and only qemu-user is taken
# from it: backports' own low priority keeps every other package on bookworm.
add_backports_for_qemu() {
    if ! grep -qsE '^[^#]*bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/*; then
        $sudo tee "$backports_list" >/dev/null <<'EOF'
# Added by Tovik's scripts/lib.sh for qemu-user only (see /etc/apt/preferences.d/tovik-qemu-user).
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    fi
    if [ ! -e "$qemu_pin" ]; then
        $sudo tee "$qemu_pin" >/dev/null <<'EOF'
# Added by Tovik's scripts/lib.sh: qemu-user from bookworm-backports, nothing else from there.
Package: qemu-user
Pin: release n=bookworm-backports
Pin-Priority: 500
EOF
    fi
}

install_missing() {
    local missing=()
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    for package in "${packages[@]}"; do
        installed "$package" || missing+=("$package")
    done
    if ! qemu_is_recent; then
        add_backports_for_qemu
        missing+=("$qemu_package")
    fi
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing ${missing[*]}"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
    fi
    register_qemu
}

# One binfmt_misc entry: i386 ELF files run through qemu-i386. F opens the emulator once, at
# registration, so it is found inside any mount namespace or chroot too; it also means an
# upgraded qemu is not used until registered again, hence the comparison of the two times.
register_qemu() {
    [ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
    if [ -e "$binfmt_entry" ] && grep -qx enabled "$binfmt_entry" &&
        grep -qx "interpreter $qemu" "$binfmt_entry" && grep -q "^flags:.*F" "$binfmt_entry" &&
        [ "$(stat -c %Z "$qemu")" -le "$(stat -c %Y "$binfmt_entry")" ]; then
        return 0
    fi
    [ -e "$binfmt_entry" ] && echo -1 | $sudo tee "$binfmt_entry" >/dev/null
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:$qemu:F" | $sudo tee "$binfmt/register" >/dev/null
    echo "Registered $qemu for i386 programs in binfmt_misc"
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
