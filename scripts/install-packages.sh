#!/usr/bin/env bash
# Installs the Debian 12 packages that one or more uses of the project need,
# only those not installed yet: nothing runs when every one is there.  As
# root it runs apt-get itself; as any other user through sudo.
#
#   scripts/install-packages.sh [-n] USE...
#
#   -n       print the commands instead of running them
#   USE      one or more of:
#   test     build, import the samples and run every test (the README's
#            two main commands)
#   ci       test, and clang 14 with its sanitizer runtime (.ci/run)
#   bench    the benchmarks, their peer libraries, the chart and Pillow's
#            loads (README "Measuring", bench/target_speed.py)
#   windows  the 32-bit and 64-bit Windows cross-builds and wine64, which
#            runs the 64-bit build (README "Windows DLL", .ci/windows.sh)
#   wine32   wine's 32-bit loader, which runs the 32-bit DLL; adds the
#            i386 architecture.  Its i386 libraries must match the
#            installed x86-64 ones version for version, so it cannot be
#            installed while an i386 package list is missing
#   linux32  the 32-bit x86 Linux build (g++ -m32, GoogleTest from its
#            sources) and qemu-user to run it where the kernel runs no
#            32-bit program (README "32-bit x86 Linux", .ci/linux32.sh);
#            no i386 package, so no i386 package list is needed
#   bench32  Google Benchmark's i386 library, for the linux32 build's
#            benchmarks (bench/target_speed.py); adds the i386 architecture
#
# SUDO (environment): what runs apt-get and dpkg for a user other than
# root (default sudo).
set -euo pipefail

packages_for() {
  case "$1" in
    test) echo cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev libstb-dev ;;
    ci) echo "$(packages_for test) clang-14 libclang-rt-14-dev" ;;
    bench) echo cmake ninja-build g++ libstb-dev libbenchmark-dev libsquish-dev libfreeimage-dev gnuplot-nox python3-pil ;;
    windows) echo cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 googletest libstb-dev ;;
    wine32) echo wine32:i386 ;;
    linux32) echo cmake ninja-build g++-multilib googletest libstb-dev qemu-user ;;
    bench32) echo "$(packages_for linux32) libbenchmark-dev:i386" ;;
    *) return 1 ;;
  esac
}

usage() {
  sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0" >&2
  exit 2
}

dry_run=0
uses=()
for arg in "$@"; do
  case "$arg" in
    -n) dry_run=1 ;;
    -h | --help) usage ;;
    *) packages_for "$arg" >/dev/null || { echo "install-packages.sh: unknown use '$arg'" >&2; usage; }
       uses+=("$arg") ;;
  esac
done
[ ${#uses[@]} -gt 0 ] || usage

# Root runs the commands itself; anyone else through sudo, which a fresh
# Debian machine may not have.
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  read -r -a as_root <<<"${SUDO:-sudo}"
  if [ "$dry_run" -eq 0 ] && ! command -v "${as_root[0]}" >/dev/null; then
    echo "install-packages.sh: not root, and ${as_root[0]} is not installed: run this as root" >&2
    exit 1
  fi
fi
run_as_root() {
  if [ "$dry_run" -eq 1 ]; then
    echo "${as_root[*]}${as_root[*]:+ }$*"
  else
    "${as_root[@]}" "$@"
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

wanted=()
for use in "${uses[@]}"; do
  read -r -a list <<<"$(packages_for "$use")"
  wanted+=("${list[@]}")
done
missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  installed "$p" || missing+=("$p")
done

need_i386=0
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=1
fi
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-packages.sh: ${uses[*]}: every package is installed"
  exit 0
fi
echo "install-packages.sh: installing ${missing[*]}"
[ "$need_i386" -eq 0 ] || run_as_root dpkg --add-architecture i386
# A package list that fails to download (a mirror caught mid-sync, as seen
# for the i386 security list) fails apt-get update, though apt keeps the
# lists it has; the install below still fails if a package is not in them.
if ! run_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq; then
  echo "install-packages.sh: apt-get update failed for some package list (above); installing from the lists it has" >&2
fi
run_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
