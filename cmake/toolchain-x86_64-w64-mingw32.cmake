# 64-bit Windows (g++-mingw-w64-x86-64-posix): the same Windows code paths
# (file reads, threads, DLL loading) as the 32-bit DLL, for machines whose
# kernel cannot run 32-bit programs, where wine64 still runs these.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(DDSIMAGE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
