# The Windows programs, cross-built with mingw-w64 (cmake/toolchain-mingw64.cmake,
# cmake/toolchain-mingw32.cmake; scripts/build-windows.sh makes both), and
# their tests under wine.

# The terminal program's console pieces and its wmain (arguments as UTF-16),
# with the manifest. Shipped without symbols.
add_executable(quarnel-cli src/cli/win/main.cpp src/cli/win/WinConsole.cpp
  src/app/win/Manifest.rc)
target_link_options(quarnel-cli PRIVATE -municode $<$<CONFIG:Release>:-s>)
target_link_libraries(quarnel-cli PRIVATE quarnel_cli_lib)


if(QUARNEL_TESTS)
  enable_testing()
  include(cmake/WindowsTests.cmake)
endif()
