#!/usr/bin/env bash
# The plug-in library exports exactly VSTPluginMain and main (or the names
# given), undecorated, and (on Windows) imports only system DLLs.
set -u
lib=$1 objdump=${2:-objdump} wanted=${3:-VSTPluginMain main}
fail=0
case "$lib" in
  *.dll|*.vst3)
    dump=$("$objdump" -p "$lib") || { echo "cannot read $lib"; exit 1; }
    exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk -F'] ' '/^[[:space:]]*\[ *[0-9]+\]/ {print $2}' | sort | tr '\n' ' ')
    imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ {print toupper($3)}' | sort -u | tr '\n' ' ')
    system="KERNEL32.DLL MSVCRT.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL SHELL32.DLL WININET.DLL COMDLG32.DLL OLE32.DLL"
    for dll in $imports; do
      case " $system " in *" $dll "*) ;; *) echo "imports a non-system DLL: $dll"; fail=1 ;; esac
    done
    echo "imports: $imports"
    ;;
  *)
    exports=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TW]$/ {print $3}' | sort | tr '\n' ' ')
    ;;
esac
echo "exports: $exports"
sorted=$(printf '%s\n' $wanted | sort | tr '\n' ' ')
[ "$exports" = "$sorted" ] || { echo "expected exactly: $wanted"; fail=1; }
exit $fail
