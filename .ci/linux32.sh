#!/usr/bin/env bash
# The 32-bit x86 code on Linux: installs g++-multilib and qemu-user (both
# idempotently), builds the whole project with the `linux32` preset (g++
# -m32, SSE2 arithmetic as for the Windows DLL) and runs its test suite:
# natively where the kernel runs 32-bit programs, else under user-mode
# emulation (qemu-i386 -L /), which needs no kernel support.  Under
# emulation the exhaustive test that the tsan preset leaves out is left out
# too (the linux32-emulated test preset).  Then the 32-bit ddsimport imports
# the samples.
#
# Fails when a compile lacks -m32 or the SSE2 arithmetic, when the suite is
# not a 32-bit x86 program, when a test fails, when the suite's tests are
# not the x86-64 suite's (build/debug, from `cmake --workflow --preset test`)
# but for those listed below, when fewer ran than it holds, or when the
# samples' PNGs differ from the x86-64 release build's (where it has
# written them: build/release/samples-out).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

# x86-64 tests that cannot run in the 32-bit build, each with its reason.
declare -A x86_64_only=()
# Tests left out under emulation, each with its reason; the same as the
# filter of the linux32-emulated test preset.
declare -A left_out_emulated=(
  [FastPaths.EveryColourAndAlphaEndpointPair]="exhaustive (every endpoint pair of ten formats); left out under emulation as under ThreadSanitizer (tsan preset)"
)

scripts/install-packages.sh linux32
g++ -m32 --version | head -n 1

runner=cmake/linux32-run.sh
how=$("$runner" --which)
if [ "$how" = native ]; then
  test_preset=linux32
  echo "linux32: the kernel runs 32-bit programs: the suite runs natively"
else
  test_preset=linux32-emulated
  echo "linux32: the kernel runs no 32-bit program (/lib/ld-linux.so.2: Exec format error): the suite runs under $(qemu-i386 --version | head -n 1)"
fi

# --- Build --------------------------------------------------------------------
build_dir=build/linux32
cmake --preset linux32
cmake --build --preset linux32

# Every compile is 32-bit with SSE2 arithmetic: CMakeLists.txt's test for
# 32-bit x86 held for this build.
compiles=$(ninja -C "$build_dir" -t commands | grep -e ' -c ' || true)
compile_count=$(grep -c . <<<"$compiles" || true)
other_compiles=$(grep -v -e ' -m32 .*-msse2 -mfpmath=sse ' <<<"$compiles" || true)
if [ "$compile_count" -eq 0 ] || [ -n "$other_compiles" ]; then
  echo "linux32: compiles without -m32 ... -msse2 -mfpmath=sse (of $compile_count):" >&2
  echo "$other_compiles" >&2
  exit 1
fi
echo "linux32: all $compile_count compiles have -m32 and -msse2 -mfpmath=sse"

# The suite is a 32-bit x86 ELF program: class 1 (32-bit), machine 3 (i386).
suite=$build_dir/bin/ddsimage_tests
elf_class=$(od -An -tu1 -j4 -N1 "$suite" | tr -d ' ')
elf_machine=$(od -An -tu2 -j18 -N2 "$suite" | tr -d ' ')
if [ "$elf_class" != 1 ] || [ "$elf_machine" != 3 ]; then
  echo "linux32: $suite is not a 32-bit x86 program (ELF class $elf_class, machine $elf_machine)" >&2
  exit 1
fi

# Which tiers the suite's tier tests run here: the plug-in's own answers on
# the processor the suite runs on (natively, or the emulator's).
tiers=$build_dir/cpu_tiers
g++ -m32 -msse2 -mfpmath=sse -std=c++17 -O2 -Wall -Werror -I dds .ci/cpu_tiers.cpp dds/common/cpu_features.cpp -o "$tiers"
tier_line=$("$runner" "$tiers")
echo "linux32: tiers ($how): $tier_line"
case "$tier_line" in
  *"SSSE3 yes, AVX2 yes, AVX-512 yes") ;;
  *) echo "linux32: note: not every tier runs here ($tier_line): the suite holds only the tiers marked yes to the plain decoders" ;;
esac

# --- Test -----------------------------------------------------------------------
ctest_log=$(mktemp)
set +e
ctest --preset "$test_preset" 2>&1 | tee "$ctest_log"
ctest_status=${PIPESTATUS[0]}
set -e
summary=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$ctest_log" | tail -n 1)
rm -f "$ctest_log"
read -r tests_failed tests_ran <<<"${summary:-? 0}"
if [ "$ctest_status" -ne 0 ]; then
  echo "linux32: ctest failed (status $ctest_status)" >&2
  exit 1
fi

# --- The suite's tests against the x86-64 suite's ---------------------------------
test_names() {  # the tests a test preset selects
  ctest --preset "$1" -N | sed -n 's/^ *Test *#[0-9]*: //p' | sort
}
if [ ! -f build/debug/CTestTestfile.cmake ]; then
  echo "linux32: no x86-64 suite to compare with in build/debug (cmake --workflow --preset test)" >&2
  exit 1
fi
x86_64_list=$(test_names debug)
linux32_list=$(test_names linux32)
selected_list=$(test_names "$test_preset")
x86_64_count=$(grep -c . <<<"$x86_64_list" || true)
linux32_count=$(grep -c . <<<"$linux32_list" || true)
selected_count=$(grep -c . <<<"$selected_list" || true)
problems=0
while read -r name; do
  [ -n "$name" ] || continue
  if [ -n "${x86_64_only[$name]:-}" ]; then
    echo "linux32: not in the 32-bit suite: $name (${x86_64_only[$name]})"
  else
    echo "linux32: missing from the 32-bit suite: $name" >&2
    problems=1
  fi
done < <(comm -23 <(echo "$x86_64_list") <(echo "$linux32_list"))
while read -r name; do
  [ -n "$name" ] || continue
  echo "linux32: in the 32-bit suite only: $name" >&2
  problems=1
done < <(comm -13 <(echo "$x86_64_list") <(echo "$linux32_list"))
while read -r name; do
  [ -n "$name" ] || continue
  if [ "$how" = qemu ] && [ -n "${left_out_emulated[$name]:-}" ]; then
    echo "linux32: left out: $name (${left_out_emulated[$name]})"
  else
    echo "linux32: not run: $name" >&2
    problems=1
  fi
done < <(comm -23 <(echo "$linux32_list") <(echo "$selected_list"))
if [ "$how" = qemu ]; then
  for name in "${!left_out_emulated[@]}"; do
    grep -qxF "$name" <<<"$linux32_list" || { echo "linux32: $name, to be left out, is not in the suite" >&2; problems=1; }
  done
fi
if [ "$tests_ran" -eq 0 ] || [ "$tests_ran" != "$selected_count" ] || [ "$tests_failed" != 0 ]; then
  echo "linux32: ctest ran $tests_ran tests ($tests_failed failed), expected $selected_count" >&2
  problems=1
fi
[ "$problems" -eq 0 ] || exit 1
echo "linux32: the x86-64 suite (build/debug) has $x86_64_count tests, the 32-bit suite $linux32_count; ctest ran $tests_ran ($how), 0 failed"

# --- ddsimport on the samples ------------------------------------------------------
samples_out=$build_dir/samples-out
rm -rf "$samples_out"
sample_count=$(find samples -maxdepth 1 -name '*.dds' | wc -l)
import_log=$("$runner" "$build_dir/bin/ddsimport" -o "$samples_out" samples/*.dds)
echo "$import_log" | tail -n 2
if ! grep -qx "imported $sample_count of $sample_count files" <<<"$import_log"; then
  echo "linux32: ddsimport did not import all $sample_count samples" >&2
  exit 1
fi
release_out=build/release/samples-out
if [ -d "$release_out" ]; then
  for png in "$release_out"/*.png; do
    cmp "$png" "$samples_out/$(basename "$png")"
  done
  echo "linux32: ddsimport wrote the same $(ls "$release_out"/*.png | wc -l) PNGs as the x86-64 release build"
fi

echo "linux32: $tests_ran tests of the 32-bit build passed ($how) in $((SECONDS - started)) s with the build"
