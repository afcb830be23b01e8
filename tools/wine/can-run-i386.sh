#!/usr/bin/env bash
# True when this machine can run 32-bit Wine: the kernel must execute i386 code
# (some virtual machines boot with 32-bit emulation disabled).
/usr/lib/wine/wine --version >/dev/null 2>&1
