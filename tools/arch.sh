#!/usr/bin/env bash
# Prints which Windows build runs on this machine: x86 (the 32-bit program,
# under 32-bit Wine) where the kernel executes 32-bit x86 code, else x64 (the
# same source built for x86-64, 64-bit Wine). KESTRANE_TEST_ARCH=x64 or x86
# forces the choice. Source it for kestrane_test_arch, or run it.

# True when this kernel runs a 32-bit x86 program. The probe is a 93-byte
# static ELF32 that only exits with 42, so it needs no 32-bit library.
kestrane_runs_x86() {
    local probe rc
    probe="$(mktemp /tmp/kestrane-probe32.XXXXXX)" || return 1
    printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >"$probe"
    chmod +x "$probe" && "$probe" 2>/dev/null
    rc=$?
    rm -f "$probe"
    [ "$rc" -eq 42 ]
}

kestrane_test_arch() {
    case "${KESTRANE_TEST_ARCH:-}" in
        x64) echo x64 ;;
        x86) kestrane_runs_x86 && echo x86 && return
             echo "error: KESTRANE_TEST_ARCH=x86, but this machine cannot execute 32-bit x86 code" >&2
             return 1 ;;
        "") if kestrane_runs_x86; then echo x86; else echo x64; fi ;;
        *) echo "error: KESTRANE_TEST_ARCH must be x86 or x64, not '$KESTRANE_TEST_ARCH'" >&2
           return 1 ;;
    esac
}

[ "${BASH_SOURCE[0]}" != "$0" ] || kestrane_test_arch
