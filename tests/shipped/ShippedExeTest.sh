#!/usr/bin/env bash
# Reads the program that ships back from the file: ShippedResources.py.
#   ShippedExeTest.sh OBJDUMP EXE X64_MANIFEST (OBJDUMP: no longer needed)
[ -f "$2" ] || { echo "FAILED: $2 does not exist"; exit 1; }
exec python3 "$(dirname "$0")/ShippedResources.py" "$2" "$3"
