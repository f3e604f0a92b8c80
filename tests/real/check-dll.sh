#!/bin/sh
# check-dll.sh OBJDUMP DLL: the DLL imports system DLLs only and exports
# Velmor_GetInputModule2 undecorated; a 32-bit DLL must be a PE32 file.
# A DLL that was not built is reported with status 77 (skipped).
objdump=$1 dll=$2
[ -f "$dll" ] || { echo "skipped: $dll was not built"; exit 77; }
dump=$($objdump -p "$dll") || exit 1
status=0
for name in $(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p'); do
    case $(printf '%s' "$name" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|advapi32.dll|ole32.dll|msvcrt.dll|gdi32.dll) ;;
        *) echo "imports a non-system DLL: $name"; status=1 ;;
    esac
done
printf '%s\n' "$dump" | grep -Eq '^\s*\[ *[0-9]+\] Velmor_GetInputModule2$' || { echo "export missing or decorated"; status=1; }
printf '%s\n' "$dump" | grep -qi 'wmvcore' && { echo "imports the media runtime statically"; status=1; }
case $objdump in
    i686-*) printf '%s\n' "$dump" | grep -q 'file format pei-i386' || { echo "not a 32-bit PE DLL"; status=1; } ;;
esac
[ $status = 0 ] && echo "ok: $dll"
exit $status
