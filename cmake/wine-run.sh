#!/bin/sh
# Runs a Windows program under wine, headless and quiet; CTest uses it as
# CMAKE_CROSSCOMPILING_EMULATOR for the windows presets.  A 32-bit program
# runs with wine's 32-bit loader in a 32-bit prefix, a 64-bit one with
# wine64 in a 64-bit prefix: the program's PE header says which.
#
# Wine's server and the services it starts (winedevice.exe and others)
# outlive the program and inherit its output.  Started from a CTest test,
# they would hold the test's output pipe open, and CTest would wait for them
# (seconds per test, or until the timeout).  So, once per prefix, under a
# lock: start a persistent wineserver and let a first wine program (wineboot)
# start the services, all with their output sent to /dev/null.  Only then is
# the program run.
#
# WINEPREFIX: the prefix to use (default: one per user and word size under
# TMPDIR); it is made on first use.  DDSIMAGE_WINEDEBUG: wine's debug
# channels (default -all, none).  DDSIMAGE_WINESERVER_PERSIST: seconds the
# server stays up after its last program ends (default 600); .ci/windows.sh
# stops it.
set -eu

# The machine field of the PE header (its offset is at 0x3C): 14c for
# 32-bit x86, 8664 for x86-64.
pe_machine() {
  pe_offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((pe_offset + 4)) -N2 "$1" | tr -d ' '
}

case "$(pe_machine "$1" 2>/dev/null || true)" in
  8664)
    bits=64
    loader=/usr/lib/wine/wine64
    export WINEARCH=win64 WINELOADER=$loader
    ;;
  *)
    bits=32
    loader=/usr/lib/wine/wine
    [ -x "$loader" ] || loader=/usr/lib/wine/wine32
    export WINEARCH=win32
    if [ ! -x "$loader" ]; then
      # wine64 alone runs a 32-bit program as a silent no-op that exits 0.
      echo "wine-run.sh: the 32-bit wine loader is missing (apt-get install wine32:i386)" >&2
      exit 127
    fi
    ;;
esac
if [ ! -x "$loader" ]; then
  echo "wine-run.sh: $loader is missing (apt-get install wine64)" >&2
  exit 127
fi

: "${WINEPREFIX:=${TMPDIR:-/tmp}/ddsimage-wine$bits-$(id -u)}"
export WINEPREFIX
export WINEDEBUG="${DDSIMAGE_WINEDEBUG:--all}"
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$WINEPREFIX"
ready="$WINEPREFIX/.ddsimage-wine-ready"
(
  flock 9
  persist=${DDSIMAGE_WINESERVER_PERSIST:-600}
  # wineserver -p exits with 0 when it started a new server, with 2 when one
  # is already running.  wineboot makes the prefix on first use and starts
  # the services.  Neither the server nor the services may keep the lock's
  # descriptor (9>&-), or the next run would wait for them forever.
  if wineserver -p"$persist" </dev/null >/dev/null 2>&1 9>&- || [ ! -f "$ready" ]; then
    "$loader" wineboot </dev/null >/dev/null 2>&1 9>&-
    : >"$ready"
  fi
) 9>"$WINEPREFIX/.ddsimage-wine-run.lock"

# Wine 8 itself now and then dies of SIGSEGV as a process ends: a thread of
# its own starts while the process terminates, and crashes in wine's
# ntdll.so (seen about once in 600 program runs under CTest -j2, in tests
# that load the plug-in and in tests that do not; the core dump holds no
# frame of the program).  A program that crashes is
# reported by wine through its exit status (5 for an access violation) and
# its crash dump, never by a signal; so only a run that wine ends by SIGSEGV
# is run once more, with a note.
status=0
"$loader" "$@" </dev/null || status=$?
if [ "$status" -eq 139 ]; then
  echo "wine-run.sh: wine ended by SIGSEGV (not the program's crash); running $1 once more" >&2
  status=0
  "$loader" "$@" </dev/null || status=$?
fi
exit "$status"
