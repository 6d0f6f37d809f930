# The Windows build, cross-built with mingw-w64 (cmake/toolchain-mingw64.cmake,
# cmake/toolchain-mingw32.cmake; scripts/build-windows.sh makes both): the
# core, SimHost, WinHost and quarnel-cli.exe, with their tests under wine.

# nlohmann-json is header-only, but its folder must not be /usr/include
# itself: -isystem /usr/include would put glibc's headers into this build.
find_path(QUARNEL_NLOHMANN_PARENT nlohmann/json.hpp PATHS /usr/include /usr/local/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(QUARNEL_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${QUARNEL_JSON_INCLUDE})
file(CREATE_LINK ${QUARNEL_NLOHMANN_PARENT}/nlohmann ${QUARNEL_JSON_INCLUDE}/nlohmann SYMBOLIC)
add_library(quarnel_json INTERFACE)
target_include_directories(quarnel_json SYSTEM INTERFACE ${QUARNEL_JSON_INCLUDE})

# Hosts: the simulated machine and the real Windows one.
file(GLOB QUARNEL_SIM_SOURCES CONFIGURE_DEPENDS src/host/Sim*.cpp src/host/WinLayouts.cpp)
add_library(quarnel_host STATIC ${QUARNEL_SIM_SOURCES} src/host/WinHost.cpp)
target_link_libraries(quarnel_host PUBLIC quarnel_core quarnel_json)

# Terminal program.
file(GLOB QUARNEL_CLI_SOURCES CONFIGURE_DEPENDS src/cli/*.cpp src/frontend/*.cpp)
list(REMOVE_ITEM QUARNEL_CLI_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/src/cli/main.cpp)
add_library(quarnel_cli_lib STATIC ${QUARNEL_CLI_SOURCES} src/cli/win/WinConsole.cpp)
target_link_libraries(quarnel_cli_lib PUBLIC quarnel_host)
add_executable(quarnel-cli src/cli/win/main.cpp src/app/win/Manifest.rc)
# wmain: the arguments as UTF-16. Shipped without symbols.
target_link_options(quarnel-cli PRIVATE -municode $<$<CONFIG:Release>:-s>)
target_link_libraries(quarnel-cli PRIVATE quarnel_cli_lib)

if(QUARNEL_TESTS)
  enable_testing()
  include(cmake/WindowsTests.cmake)
endif()
