#!/bin/sh
# Runs a 32-bit x86 Linux program: natively where the kernel runs 32-bit
# programs, else under user-mode emulation (qemu-i386 from Debian's
# qemu-user, with / as the root its libraries are found under), which
# needs no kernel support.  CTest and GoogleTest's test discovery run the
# linux32 preset's programs through it (CMAKE_CROSSCOMPILING_EMULATOR).
#
#   cmake/linux32-run.sh PROGRAM [ARGUMENT...]
#   cmake/linux32-run.sh --which     prints native or qemu, and nothing runs
#
# Whether the kernel runs 32-bit programs is asked of the 32-bit dynamic
# loader itself (/lib/ld-linux.so.2 --version): a kernel without IA-32
# emulation refuses it with "Exec format error" (status 126).
# DDSIMAGE_LINUX32_RUN (environment): native or qemu forces one.
set -eu

loader=/lib/ld-linux.so.2
if [ ! -e "$loader" ]; then
  echo "linux32-run.sh: $loader is missing (apt-get install g++-multilib)" >&2
  exit 127
fi

how=${DDSIMAGE_LINUX32_RUN:-}
if [ -z "$how" ]; then
  if "$loader" --version >/dev/null 2>&1; then how=native; else how=qemu; fi
fi
case "$how" in
  native | qemu) ;;
  *) echo "linux32-run.sh: DDSIMAGE_LINUX32_RUN is '$how', not native or qemu" >&2; exit 2 ;;
esac

if [ "${1:-}" = --which ]; then
  echo "$how"
  exit 0
fi
if [ $# -eq 0 ]; then
  echo "usage: linux32-run.sh PROGRAM [ARGUMENT...] | --which" >&2
  exit 2
fi

if [ "$how" = native ]; then
  exec "$@"
fi
if ! command -v qemu-i386 >/dev/null; then
  echo "linux32-run.sh: this kernel runs no 32-bit program and qemu-i386 is missing (apt-get install qemu-user)" >&2
  exit 127
fi
exec qemu-i386 -L / "$@"
