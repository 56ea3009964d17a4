#!/usr/bin/env bash
# Prints GLIBC_TUNABLES with glibc.malloc.hugetlb=1 added (malloc then backs
# large arrays with transparent huge pages: the first touch of fresh memory
# is far cheaper) and succeeds where glibc is 2.35 or later; else prints
# nothing and fails.  For starting Octave:
#   if t=$(bash tools/hugepages.sh); then GLIBC_TUNABLES=$t octave ...; fi
version=$(getconf GNU_LIBC_VERSION 2>/dev/null | awk '{print $2}')
if [ -n "$version" ] && printf '2.35\n%s\n' "$version" | sort -C -V; then
  echo "${GLIBC_TUNABLES:+$GLIBC_TUNABLES:}glibc.malloc.hugetlb=1"
else
  exit 1
fi
