#!/usr/bin/env bash
# check-imports.sh OBJDUMP EXE: fails when EXE statically imports a DLL that
# is not a KnownDLL (or ntdll), or when a non-KnownDLL system library that
# the program needs is missing from its delay-load table.
set -euo pipefail
objdump=$1
exe=$2
allowed="advapi32.dll comdlg32.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll normaliz.dll ntdll.dll ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll combase.dll"
dump=$("$objdump" -p "$exe")
static=$(printf '%s\n' "$dump" | awk '/^The Import Tables/{t=1} /^The Delay Import Tables/{t=0} t && /DLL Name:/{print tolower($3)}' | sort -u)
# GNU ld leaves the delay-import directory entry empty; the stubs' descriptors
# still name their DLL, so look for the names in the image itself.
delayed=""
for dll in winhttp.dll crypt32.dll bcrypt.dll wintrust.dll d2d1.dll dwrite.dll d3d10_1.dll netapi32.dll mscms.dll oleacc.dll credui.dll; do
  if LC_ALL=C grep -a -q -i -F "$dll" "$exe"; then delayed="$delayed $dll"; fi
done
status=0
echo "static imports: $(echo $static)"
echo "delay-loaded (named in the image):$delayed"
for dll in $static; do
  case " $allowed " in
    *" $dll "*) ;;
    *) echo "FAIL: $exe statically imports $dll, which Windows may load from the program's folder"; status=1 ;;
  esac
done
for dll in dwrite.dll bcrypt.dll wintrust.dll oleacc.dll credui.dll; do
  case " $(echo $delayed) " in
    *" $dll "*) ;;
    *) echo "FAIL: $dll is not delay-loaded"; status=1 ;;
  esac
done
[ "$status" = 0 ] && echo "imports ok"
exit $status
