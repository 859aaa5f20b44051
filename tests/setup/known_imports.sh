#!/usr/bin/env bash
# Fails when setup.exe or a language library imports a library that is not one of the system's known
# libraries: the loader looks for any other beside the program first, in a folder anybody may write to,
# before the program's first line can say where libraries come from.
#   known_imports.sh OBJDUMP FILE...
set -euo pipefail
objdump=$1
shift
# The system's known libraries (the "KnownDLLs" of the session manager), lower case.
known=(advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
  normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32 ntdll)
known=" ${known[*]/%/.dll} "
status=0
for file in "$@"; do
  [[ -f "$file" ]] || { echo "missing: $file"; status=1; continue; }
  # objdump lists each imported library as "DLL Name: NAME".
  while read -r name; do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$name")
    if [[ "$known" != *" $lower "* ]]; then
      echo "$(basename "$file") imports $name, which is not a known library of the system"
      status=1
    else
      echo "$(basename "$file"): $name"
    fi
  done < <("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
exit $status
