#!/usr/bin/env bash
# Installs from Debian/Ubuntu packages what building, testing and running
# Orvelle on Linux needs: the MinGW-w64 cross compilers, Wine (64-bit and
# 32-bit), Xvfb, CMake, Ninja, GoogleTest, the native compilers, a Chinese font,
# ImageMagick for screenshots, and the zh_CN.UTF-8 locale Wine uses for its
# code page 936. Does nothing (quickly) when all of it is present.

set -euo pipefail

me=${0##*/}
say() { printf '%s: %s\n' "$me" "$*" >&2; }

packages=(
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 wine32:i386
    xvfb xauth fonts-wqy-zenhei imagemagick
    cmake ninja-build googletest g++ clang libclang-rt-14-dev
    locales util-linux libc-bin coreutils procps
)
readonly LOCALE_NAME=zh_CN.UTF-8

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

locale_present() {
    locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'
}

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
needs_i386=no
if [ "$(dpkg --print-architecture)" = amd64 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    needs_i386=yes
fi

if [ ${#missing[@]} -eq 0 ] && [ $needs_i386 = no ] && locale_present; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        as_root=(sudo)
    else
        say "not root and no sudo; as root, install: ${missing[*]:-(nothing)} and generate the $LOCALE_NAME locale"
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

if ! locale_present; then
    say "generating the $LOCALE_NAME locale"
    # Keep it listed so that a later locale-gen does not drop it again.
    if [ -f /etc/locale.gen ] && ! grep -qx "$LOCALE_NAME UTF-8" /etc/locale.gen; then
        if grep -qx "# *$LOCALE_NAME UTF-8" /etc/locale.gen; then
            "${as_root[@]}" sed -i "s/^# *\\($LOCALE_NAME UTF-8\\)\$/\\1/" /etc/locale.gen
        else
            echo "$LOCALE_NAME UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
        fi
    fi
    "${as_root[@]}" localedef -i zh_CN -f UTF-8 "$LOCALE_NAME"
    locale_present || { say "could not generate $LOCALE_NAME"; exit 1; }
fi
