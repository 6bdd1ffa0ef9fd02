#!/bin/sh
# A delay-load import library for a system DLL, made from MinGW's own import library: the
# program then loads the DLL at its first call into it rather than at start.
# usage: delay-import.sh NM DLLTOOL IMPORT_LIB DLL_NAME OUT.a
# i686 names carry stdcall's "@bytes"; the DLL exports them plain, which dlltool's -k says.
set -eu
nm=$1 dlltool=$2 lib=$3 dll=$4 out=$5
def=$out.def
{
  echo "LIBRARY $dll"
  echo EXPORTS
  "$nm" "$lib" 2>/dev/null | sed -n 's/^.* I __imp_//p' | sed 's/^_\(.*@[0-9]*\)$/\1/' | sort -u
} >"$def"
case $("$nm" "$lib" 2>/dev/null | grep -c ' I __imp__.*@[0-9]') in
  0) "$dlltool" -d "$def" -y "$out" -D "$dll" ;;
  *) "$dlltool" -k -d "$def" -y "$out" -D "$dll" ;;
esac
