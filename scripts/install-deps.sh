#!/usr/bin/env bash
# Installs from Debian/Ubuntu packages what building, testing and running
# Orvelle on Linux needs: the MinGW-w64 cross compilers, Wine (64-bit and
# 32-bit), Xvfb, CMake, Ninja, GoogleTest, the native compilers, a Chinese font,
# ImageMagick for screenshots, zip for the release package, clang-format for
# the sources' style, the zh_CN.UTF-8
# locale Wine uses for its code page 936, and the locales of the other code
# pages the engine's tests run under (1252, 932, 949). Does nothing (quickly)
# when all of it is present.

set -euo pipefail

me=${0##*/}
say() { printf '%s: %s\n' "$me" "$*" >&2; }

packages=(
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 wine32:i386
    xvfb xauth fonts-wqy-zenhei imagemagick
    cmake ninja-build googletest g++ clang libclang-rt-14-dev clang-format
    locales util-linux libc-bin coreutils procps zip
)
# language_TERRITORY of each locale, all in UTF-8.
readonly LOCALES=(zh_CN en_US ja_JP ko_KR)

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

locale_present() {
    locale -a 2>/dev/null | grep -qix "$1\\.utf-\\?8"
}

locales_present() {
    local l
    for l in "${LOCALES[@]}"; do locale_present "$l" || return 1; done
}

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
needs_i386=no
if [ "$(dpkg --print-architecture)" = amd64 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    needs_i386=yes
fi

if [ ${#missing[@]} -eq 0 ] && [ $needs_i386 = no ] && locales_present; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        as_root=(sudo)
    else
        say "not root and no sudo; as root, install: ${missing[*]:-(nothing)} and generate the locales ${LOCALES[*]} (UTF-8)"
        exit 1
    fi
fi

apt_get() {
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 "$@"
}

if [ $needs_i386 = yes ]; then
    say "enabling the i386 architecture (for 32-bit Wine)"
    "${as_root[@]}" dpkg --add-architecture i386
fi

if [ ${#missing[@]} -gt 0 ] || [ $needs_i386 = yes ]; then
    say "installing: ${missing[*]}"
    apt_get update -q
    apt_get install -y -q "${missing[@]}"
    # Check rather than trust: a package apt skipped would fail much later.
    still=()
    for p in "${missing[@]}"; do
        installed "$p" || still+=("$p")
    done
    if [ ${#still[@]} -gt 0 ]; then
        say "still missing after apt-get: ${still[*]}"
        exit 1
    fi
fi

for l in "${LOCALES[@]}"; do
    locale_present "$l" && continue
    say "generating the $l.UTF-8 locale"
    # Keep it listed so that a later locale-gen does not drop it again.
    if [ -f /etc/locale.gen ] && ! grep -qx "$l.UTF-8 UTF-8" /etc/locale.gen; then
        if grep -qx "# *$l.UTF-8 UTF-8" /etc/locale.gen; then
            "${as_root[@]}" sed -i "s/^# *\\($l\\.UTF-8 UTF-8\\)\$/\\1/" /etc/locale.gen
        else
            echo "$l.UTF-8 UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
        fi
    fi
    "${as_root[@]}" localedef -i "$l" -f UTF-8 "$l.UTF-8"
    locale_present "$l" || { say "could not generate $l.UTF-8"; exit 1; }
done
