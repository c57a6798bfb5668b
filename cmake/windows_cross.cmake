# What the Windows cross build needs besides the compiler (see mingw-w64-x86_64.cmake): Debian
# ships zlib for mingw but neither GoogleTest nor a CMake package of CLI11 for it, and the test
# programs run through Wine.

# GCC 12's -Wrestrict warns of overlapping copies inside libstdc++'s own string concatenation
# once it is inlined at -O2 (a false positive of that compiler, fixed in later releases); it
# would fail the build where warnings are errors.
target_compile_options(qm_warnings INTERFACE -Wno-restrict)

# zlib: the static library, so that no zlib1.dll has to travel with the programs.
set(ZLIB_USE_STATIC_LIBS ON)

# CLI11 is header-only; its headers are copied out of the host's include folder, because adding
# /usr/include itself would put glibc's headers in front of mingw's.
if(NOT TARGET CLI11::CLI11 AND EXISTS /usr/include/CLI/CLI.hpp)
  file(COPY /usr/include/CLI DESTINATION ${CMAKE_BINARY_DIR}/cli11-include)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/cli11-include)
endif()

# GoogleTest from Debian's source package (libgtest-dev installs it in /usr/src/googletest),
# built with the cross compiler.
function(qm_add_cross_googletest)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)  # newer sources name their targets so themselves
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endfunction()

# Every Windows program the build or CTest starts goes through this wrapper: a Wine prefix of
# the build's own (made on first use), no Wine debug chatter but the heap's. Its warnings turn
# on Wine's heap checks: freed memory is filled with 0xfeeefeee, so a use after free faults at
# once instead of now and then.
set(QM_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/wine-run CONTENT [=[#!/bin/sh
# Runs a Windows program of this build under Wine (in the prefix QM_WINEPREFIX names, if set).
export WINEPREFIX="${QM_WINEPREFIX:-@QM_WINE_PREFIX@}" WINEDEBUG=-all,warn+heap WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Two test programs may start at once; one of them makes the prefix.
  # No display is needed: wineboot makes the prefix without a window.
  mkdir "$WINEPREFIX.lock" 2>/dev/null && { DISPLAY= wineboot -i >/dev/null 2>&1; wineserver -w; rmdir "$WINEPREFIX.lock"; }
  while [ -d "$WINEPREFIX.lock" ]; do sleep 1; done
fi
# The first program to start in the prefix starts Wine's server and services, and they keep the
# streams that program was given until they end, long after it: whoever reads its output (CTest)
# would wait for them. So the program writes into files of its own, passed on when it ends.
out=$(mktemp) err=$(mktemp)
wine "$@" >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
]=] @ONLY)
file(CHMOD ${CMAKE_BINARY_DIR}/wine-run PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
