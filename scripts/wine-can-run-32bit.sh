#!/bin/sh
# Exits 0 when this machine can run 32-bit Windows programs under Wine: the
# 32-bit Wine loader must be installed and the kernel must execute it (some
# virtual machines cannot execute any 32-bit Linux program).
[ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
