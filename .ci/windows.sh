#!/usr/bin/env bash
# The Windows DLL: installs the mingw-w64 cross compilers and wine (both
# idempotently), cross-builds the plug-in, the stand-in host, ddsimport and
# the GoogleTest suite with the `windows` presets, and runs every test under
# wine through CTest.  Fails when a test fails, when no test ran, when fewer
# ran than expected, when a Linux test is missing from the Windows suite
# without being listed below, or when ddsimport.exe does not import every
# sample (or, where the Linux release build has imported them, writes PNGs
# that differ from the Linux ones).
#
# Some kernels run no 32-bit program at all (no IA-32 emulation: wine's
# 32-bit loader fails with "Exec format error"), and some package mirrors
# cannot give wine's 32-bit loader at times.  There the 32-bit DLL and
# its ZIP are still built and their tables checked, and the suite and the
# samples run on the 64-bit Windows build of the same code (`windows64`
# presets) under wine64: the Windows file reads, threads and DLL loading
# are tested, the 32-bit code generation is not.
set -euo pipefail
cd "$(dirname "$0")/.."

# The fewest CTest tests the Windows run may have; a run with fewer (a lost
# test source, or wine running nothing) fails.
min_tests=${DDSIMAGE_WINDOWS_MIN_TESTS:-60}

# Linux tests that cannot apply to the Windows build, each with its reason.
declare -A linux_only=(
  [Exports.LibraryExportsExactlyTheSixEntryPoints]="reads the ELF dynamic symbol table; PeTables.* check the DLL's export table instead"
)

# --- Toolchain and wine ------------------------------------------------------
scripts/install-packages.sh windows
i686-w64-mingw32-g++-posix --version | head -n 1
x86_64-w64-mingw32-g++-posix --version | head -n 1
# wine's 32-bit loader needs i386 libraries of the very versions of the
# installed x86-64 ones; where an i386 package list cannot be fetched (a
# mirror mid-sync) they are not to be had, and the run goes on as on a
# machine that runs no 32-bit program.
wine32_installed=1
scripts/install-packages.sh wine32 || wine32_installed=0

# --- Can this machine run 32-bit programs? -------------------------------------
runs_32bit=0
if [ "$wine32_installed" -eq 0 ]; then
  echo "windows: wine32:i386 could not be installed (above); the tests run on the 64-bit Windows build under wine64"
elif /usr/lib/wine/wine --version; then
  runs_32bit=1
else
  status=$?
  if [ "$status" -ne 126 ]; then
    echo "windows: wine's 32-bit loader failed (status $status)" >&2
    exit 1
  fi
  echo "windows: this machine cannot run 32-bit programs; the tests run on the 64-bit Windows build under wine64"
fi
[ "$runs_32bit" -eq 1 ] || /usr/lib/wine/wine64 --version

# --- Wine prefixes made for this run ------------------------------------------
# Each windows preset uses its own prefix; cmake/wine-run.sh makes it and
# starts a persistent wineserver on first use.  Stop those servers however
# this script ends, so that nothing is left holding a prefix or its output.
stop_wine() {
  for prefix in "$PWD/build/windows/wineprefix" "$PWD/build/windows64/wineprefix"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
}
trap stop_wine EXIT
stop_wine
rm -rf build/windows/wineprefix build/windows64/wineprefix

# --- The 32-bit DLL -------------------------------------------------------------
# Its tests run as part of its build (test discovery runs the suite), so
# they are built only where 32-bit programs run.
if [ "$runs_32bit" -eq 1 ]; then suite_preset=windows; else suite_preset=windows64; fi
cmake --preset windows -DDDSIMAGE_BUILD_TESTS="$([ "$runs_32bit" -eq 1 ] && echo ON || echo OFF)"
cmake --build --preset windows

echo "Import and export tables of ddsimage.dll:"
i686-w64-mingw32-objdump -p build/windows/bin/ddsimage.dll |
  sed -n -e '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' -e 's/^\tDLL Name: /imports /p'

# --- Build and test ----------------------------------------------------------------
build_dir=build/$suite_preset
export WINEPREFIX="$PWD/$build_dir/wineprefix"
if [ "$suite_preset" != windows ]; then
  cmake --preset "$suite_preset"
  cmake --build --preset "$suite_preset"
fi

ctest_log=$(mktemp)
set +e
ctest --preset "$suite_preset" 2>&1 | tee "$ctest_log"
ctest_status=${PIPESTATUS[0]}
set -e
tests_total=$(sed -n 's/.*tests passed, [0-9]* tests failed out of \([0-9]*\)$/\1/p' "$ctest_log" | tail -n 1)
tests_failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of [0-9]*$/\1/p' "$ctest_log" | tail -n 1)
rm -f "$ctest_log"
# cmake/wine-run.sh runs a program once more when wine itself dies of
# SIGSEGV as the program ends; say how often that happened.
reruns=$(grep -c 'wine-run.sh: wine ended by SIGSEGV' "$build_dir/Testing/Temporary/LastTest.log" || true)
echo "$suite_preset: runs repeated after wine itself died of SIGSEGV: $reruns"
if [ "$ctest_status" -ne 0 ]; then
  echo "$suite_preset: ctest failed (status $ctest_status)" >&2
  exit 1
fi

# --- Proof that the tests ran --------------------------------------------------
# wine64 alone runs a 32-bit program as a silent no-op that exits 0, and
# CTest would count every such run as passed: count the tests GoogleTest
# itself reports as run and passed, in one run of the whole suite.
runner=cmake/wine-run.sh
suite=$build_dir/bin/ddsimage_tests.exe
suite_log=$(mktemp)
"$runner" "$suite" --gtest_brief=1 >"$suite_log" 2>&1 || { cat "$suite_log"; echo "$suite_preset: the suite failed when run whole" >&2; exit 1; }
gtest_ran=$(tr -d '\r' <"$suite_log" | sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p')
gtest_passed=$(tr -d '\r' <"$suite_log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\.$/\1/p')
rm -f "$suite_log"
windows_list=$("$runner" "$suite" --gtest_list_tests | tr -d '\r' | awk '/^[^ ]/ {s = $1} /^  / {print s $1}' | sort)
listed=$(grep -c . <<<"$windows_list" || true)

echo "$suite_preset: ctest ran ${tests_total:-0} tests, ${tests_failed:-?} failed"
echo "$suite_preset: ddsimage_tests.exe ran ${gtest_ran:-0} GoogleTest tests, ${gtest_passed:-0} passed, of $listed listed"
if [ -z "${tests_total:-}" ] || [ "$tests_total" -eq 0 ] || [ "$tests_total" -lt "$min_tests" ]; then
  echo "$suite_preset: ${tests_total:-no} tests run by ctest, expected at least $min_tests" >&2
  exit 1
fi
if [ -z "${gtest_ran:-}" ] || [ "$gtest_ran" -eq 0 ] || [ "$gtest_ran" != "$listed" ] || [ "$gtest_passed" != "$listed" ]; then
  echo "$suite_preset: GoogleTest ran ${gtest_ran:-no} tests and passed ${gtest_passed:-none}, expected $listed" >&2
  exit 1
fi
if [ "$tests_total" -lt "$gtest_ran" ]; then
  echo "$suite_preset: ctest ran fewer tests ($tests_total) than the suite holds ($gtest_ran)" >&2
  exit 1
fi

# Every Linux test must also be in the Windows suite, or be listed above.
linux_suite=build/debug/bin/ddsimage_tests
if [ -x "$linux_suite" ]; then
  linux_list=$("$linux_suite" --gtest_list_tests | awk '/^[^ ]/ {s = $1} /^  / {print s $1}' | sort)
  echo "$suite_preset: the Linux suite ($linux_suite) has $(grep -c . <<<"$linux_list") GoogleTest tests"
  missing_tests=0
  while read -r name; do
    [ -n "$name" ] || continue
    if [ -n "${linux_only[$name]:-}" ]; then
      echo "$suite_preset: not on Windows: $name (${linux_only[$name]})"
    else
      echo "$suite_preset: missing from the Windows suite: $name" >&2
      missing_tests=1
    fi
  done < <(comm -23 <(echo "$linux_list") <(echo "$windows_list"))
  comm -13 <(echo "$linux_list") <(echo "$windows_list") | sed "s/^/$suite_preset: Windows only: /"
  [ "$missing_tests" -eq 0 ] || exit 1
fi

# --- ddsimport.exe on the samples ------------------------------------------------
samples_out=$build_dir/samples-out
rm -rf "$samples_out"
sample_count=$(find samples -maxdepth 1 -name '*.dds' | wc -l)
import_log=$("$runner" "$build_dir/bin/ddsimport.exe" -o "$samples_out" samples/*.dds | tr -d '\r')
echo "$import_log" | tail -n 2
if ! grep -qx "imported $sample_count of $sample_count files" <<<"$import_log"; then
  echo "$suite_preset: ddsimport.exe did not import all $sample_count samples" >&2
  exit 1
fi
linux_out=build/release/samples-out
if [ -d "$linux_out" ]; then
  for png in "$linux_out"/*.png; do
    cmp "$png" "$samples_out/$(basename "$png")"
  done
  echo "$suite_preset: ddsimport.exe wrote the same $(ls "$linux_out"/*.png | wc -l) PNGs as the Linux build"
fi

# --- The ZIP --------------------------------------------------------------------
# What a user unpacks: ddsimage.dll at the top (for the host's plug-in
# folder), README.md and LICENSE, and tools/ with the programs and the
# stand-in qvapilib.dll they run with; nothing else.  The DLL in it must be
# the one built above, and its tables are checked here again.
rm -f build/windows/ddsimage-*.zip
cpack --preset windows
zips=(build/windows/ddsimage-*-win32.zip)
if [ ${#zips[@]} -ne 1 ] || [ ! -f "${zips[0]}" ]; then
  echo "windows: expected one ZIP, found: ${zips[*]}" >&2
  exit 1
fi
zip=${zips[0]}
expected_zip=$(printf '%s\n' LICENSE README.md ddsimage.dll tools/ddsimport.exe tools/ddsinfo.exe tools/qvapilib.dll)
if ! diff <(sort <<<"$expected_zip") <(cmake -E tar tf "$zip" | grep -v '/$' | sort); then
  echo "windows: $zip does not hold exactly the files expected (< expected, > in the ZIP)" >&2
  exit 1
fi
unpacked=$(mktemp -d)
(cd "$unpacked" && cmake -E tar xf "$OLDPWD/$zip")
cmp "$unpacked/ddsimage.dll" build/windows/bin/ddsimage.dll
dll_tables=$(i686-w64-mingw32-objdump -p "$unpacked/ddsimage.dll")
dll_exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' <<<"$dll_tables" | sort | tr '\n' ' ')
dll_imports=$(sed -n 's/^\tDLL Name: //p' <<<"$dll_tables" | sort | tr '\n' ' ')
if [ "$dll_exports" != "qvpExit qvpIDString qvpInit qvpUUIDString qvpVendor qvpVersion " ]; then
  echo "windows: the DLL in the ZIP exports: $dll_exports" >&2
  exit 1
fi
if [ "$dll_imports" != "KERNEL32.dll msvcrt.dll qvapilib.dll " ]; then
  echo "windows: the DLL in the ZIP imports: $dll_imports" >&2
  exit 1
fi
# The unpacked tools/ddsimport.exe finds the DLL at the top of the tree.
if [ "$runs_32bit" -eq 1 ]; then
  export WINEPREFIX="$PWD/build/windows/wineprefix"
  zip_log=$("$runner" "$unpacked/tools/ddsimport.exe" --quiet -o "$unpacked/out" samples/*.dds | tr -d '\r')
  if ! grep -qx "imported $sample_count of $sample_count files" <<<"$zip_log"; then
    echo "windows: ddsimport.exe from the ZIP did not import all $sample_count samples" >&2
    exit 1
  fi
else
  echo "windows: ddsimport.exe from the ZIP not run: this machine runs no 32-bit program"
fi
rm -rf "$unpacked"

echo "windows: $zip holds exactly: $(tr '\n' ' ' <<<"$expected_zip")"
echo "windows: its DLL exports $dll_exports and imports $dll_imports"

echo "windows: ${tests_total} tests of the $suite_preset build passed, 0 failed"
