# 32-bit x86 Linux programs, built by the system's x86-64 g++ with -m32
# (Debian's g++-multilib): the plug-in's 32-bit code (64-bit arithmetic in
# register pairs, 4-byte pointers, the 32-bit field readers) on Linux.  The
# processor name makes CMakeLists.txt's test for 32-bit x86 hold, so this
# build, like the Windows DLL, does its floating point in SSE2
# (-msse2 -mfpmath=sse) instead of the x87 unit.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)

# Libraries and package files of the i386 architecture (libbenchmark-dev:i386
# in /usr/lib/i386-linux-gnu, when installed); the x86-64 ones are never
# picked, as find_package looks only under this architecture's folder.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# Being a cross-build, the tests use GoogleTest built from its sources
# (tests/CMakeLists.txt), and CTest and GoogleTest's test discovery run the
# programs through linux32-run.sh: natively where the kernel runs 32-bit
# programs, else under qemu-i386.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/linux32-run.sh)
