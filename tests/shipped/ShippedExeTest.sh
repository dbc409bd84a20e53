#!/usr/bin/env bash
# Reads the program that ships back from the file, on any machine (it needs no
# Wine): a 32-bit x86 GUI image that imports only system DLLs and carries the
# manifest, both dialog templates, the string table, the icon and the cursor.
#
#   ShippedExeTest.sh OBJDUMP EXE
set -u
objdump="$1"
exe="$2"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

[ -f "$exe" ] || { echo "FAILED: $exe does not exist"; exit 1; }
headers="$("$objdump" -p "$exe")" || { echo "FAILED: $objdump can't read $exe"; exit 1; }

grep -q 'file format pei-i386$' <<<"$headers" || fail "not a PE image for i386: $(grep -m1 'file format' <<<"$headers")"
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not the Windows GUI subsystem: $(grep -m1 '^Subsystem' <<<"$headers")"

# Every DLL it imports is one that Windows itself has.
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll "
imports="$(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers")"
[ -n "$imports" ] || fail "no import of any DLL found"
for dll in $imports; do
    case "$system_dlls" in *" $dll "*) ;; *) fail "imports $dll, which is not a system DLL" ;; esac
done

# The resource directory as type:name pairs (objdump indents a type by three
# blanks, its names by five).
resources="$(awk '
    /^[0-9a-f]+   Entry: ID:/   { type = $4; sub(",", "", type) }
    /^[0-9a-f]+     Entry: ID:/ { name = $4; sub(",", "", name); print type, name }' <<<"$headers" |
    while read -r type name; do echo "$((type)):$((name))"; done)"
for want in "5:200 dialog template 200 (main)" "5:201 dialog template 201 (About)" \
            "14:100 icon group 100" "12:400 cursor 400" "24:1 manifest"; do
    grep -qx "${want%% *}" <<<"$resources" || fail "no ${want#* }"
done
grep -q '^6:' <<<"$resources" || fail "no string table"
# The manifest binds version 6.0.0.0 of the common controls for x86.
grep -aq 'name="Microsoft.Windows.Common-Controls"' "$exe" || fail "the manifest does not name the common controls"
grep -aq 'processorArchitecture="x86"' "$exe" || fail "the manifest is not for x86"

# The version resource and what the manifest declares to Windows.
python3 "$(dirname "$0")/ShippedDetails.py" "$exe" || failures=$((failures + 1))

if [ "$failures" -eq 0 ]; then
    echo "$exe: i386 GUI image; imports $(tr '\n' ' ' <<<"$imports"); carries every resource"
fi
exit "$failures"
