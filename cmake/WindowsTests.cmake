# Tests of the Windows build, run under wine through ctest
# (CMAKE_CROSSCOMPILING_EMULATOR, scripts/wine-run.sh): one wine prefix per
# build folder, made once by the first test and reused.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# The win32 thread model's libstdc++ (GCC 12) has no std::mutex, which only
# GoogleTest's Notification uses: it gets one on a Win32 event.
target_sources(gtest PRIVATE ${CMAKE_SOURCE_DIR}/tests/win/GtestNotification.cpp)
target_compile_options(gtest PUBLIC -include ${CMAKE_SOURCE_DIR}/tests/win/GtestNotification.h)
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

set(QUARNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(QUARNEL_TEST_DATA ${CMAKE_SOURCE_DIR}/tests/data)

# The prefix (wineboot on first use) with X: linked to an image file of the
# build folder; the image and the links are removed after the tests.
set(QUARNEL_WINE_DISK ${CMAKE_BINARY_DIR}/wine-disk/x.img)
add_test(NAME wine_setup
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-disk.sh setup ${QUARNEL_WINEPREFIX} ${QUARNEL_WINE_DISK})
add_test(NAME wine_cleanup
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-disk.sh cleanup ${QUARNEL_WINEPREFIX} ${QUARNEL_WINE_DISK})
set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 180)
set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine)

# A test program run under wine with the prefix ready.
function(quarnel_wine_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endfunction()

# The test suites of the core and SimHost, one wine run per suite; the ones
# that need Linux or run commands through a shell are the Linux build's.
foreach(area app ata batch devices host reports ui erase json nvme record)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${area}/*.cpp)
  if(NOT sources)
    continue()
  endif()
  list(FILTER sources EXCLUDE REGEX "/[A-Za-z]*(Linux|SgIo|Cli|RealDrives|Loop|NvmeQuery)[A-Za-z]*\\.cpp$")
  add_executable(test_${area} ${sources} tests/support/TestSupport.cpp
    tests/support/SimSupport.cpp)
  target_include_directories(test_${area} PRIVATE tests)
  target_link_libraries(test_${area} PRIVATE quarnel_cli_lib gtest gtest_main)
  target_compile_definitions(test_${area} PRIVATE
    QUARNEL_TEST_DATA="${QUARNEL_TEST_DATA}" QUARNEL_CLI_PATH="$<TARGET_FILE:quarnel-cli>")
  quarnel_wine_test(core_${area} test_${area} --gtest_brief=1)
endforeach()

add_executable(test_win tests/win/WinHostTest.cpp tests/win/RegionalTest.cpp)
target_include_directories(test_win PRIVATE tests)
target_link_libraries(test_win PRIVATE quarnel_cli_lib gtest gtest_main)
quarnel_wine_test(win_host test_win --gtest_brief=1)
set_tests_properties(win_host PROPERTIES RESOURCE_LOCK wine_disk ENVIRONMENT "QUARNEL_WINE_DISK=${QUARNEL_WINE_DISK}")

# quarnel.exe's windows, driven with window messages on a virtual display, in
# a wine prefix of their own (made on first use, about 20 s).
add_executable(test_win_desktop tests/win/DesktopTest.cpp tests/support/SimSupport.cpp)
target_include_directories(test_win_desktop PRIVATE tests)
target_compile_definitions(test_win_desktop PRIVATE QUARNEL_TEST_DATA="${QUARNEL_TEST_DATA}"
  QUARNEL_CLI_PATH="$<TARGET_FILE:quarnel-cli>")
target_link_libraries(test_win_desktop PRIVATE quarnel_desktop_lib gtest gtest_main)
add_test(NAME win_desktop
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win/desktop-test.sh ${CMAKE_BINARY_DIR}/wineprefix-desktop
          $<TARGET_FILE:test_win_desktop> --gtest_brief=1)
set_tests_properties(win_desktop PROPERTIES TIMEOUT 300)

# The shipped executables import nothing that Windows XP lacks.
add_test(NAME imports_run_on_xp
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} "-DFILES=$<TARGET_FILE:quarnel-cli>;$<TARGET_FILE:quarnel>"
          -P ${CMAKE_SOURCE_DIR}/cmake/CheckImports.cmake)

# quarnel-cli.exe prints what the Linux build prints on the simulated machine
# (QUARNEL_NATIVE_CLI: the Linux build's quarnel-cli; skipped without it).
set(QUARNEL_NATIVE_CLI "${CMAKE_SOURCE_DIR}/build/quarnel-cli" CACHE FILEPATH
    "quarnel-cli of the Linux build, compared with quarnel-cli.exe")
add_test(NAME cli_matches_linux
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win/compare-cli.sh ${QUARNEL_NATIVE_CLI} $<TARGET_FILE:quarnel-cli>)
set_tests_properties(cli_matches_linux PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
  SKIP_RETURN_CODE 77)

# quarnel-cli.exe on WinHost: the drive wine cannot identify, paths refused.
add_test(NAME cli_win_host_refusals
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win/cli-refusals.sh $<TARGET_FILE:quarnel-cli>)
set_tests_properties(cli_win_host_refusals PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
  RESOURCE_LOCK wine_disk)

# The platform line and the NT-family test on the versions wine reports.
add_test(NAME cli_windows_versions
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win/cli-versions.sh $<TARGET_FILE:quarnel-cli>)
set_tests_properties(cli_windows_versions PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
  RESOURCE_LOCK wine_version)

# quarnel-cli.exe in a console: a typed yes, the progress line, Ctrl+C.
add_test(NAME cli_console
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win/cli-console.sh $<TARGET_FILE:quarnel-cli>)
set_tests_properties(cli_console PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
