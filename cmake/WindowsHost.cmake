# The host of the Windows build (cross-built with mingw-w64): WinHost on the
# Win32 calls, its layouts checked against the SDK's headers as it compiles.

# nlohmann-json is header-only, but its folder must not be /usr/include
# itself: -isystem /usr/include would put glibc's headers into this build.
find_path(QUARNEL_NLOHMANN_PARENT nlohmann/json.hpp PATHS /usr/include /usr/local/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(QUARNEL_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${QUARNEL_JSON_INCLUDE})
file(CREATE_LINK ${QUARNEL_NLOHMANN_PARENT}/nlohmann ${QUARNEL_JSON_INCLUDE}/nlohmann SYMBOLIC)
add_library(quarnel_json INTERFACE)
target_include_directories(quarnel_json SYSTEM INTERFACE ${QUARNEL_JSON_INCLUDE})
add_library(nlohmann_json::nlohmann_json ALIAS quarnel_json)

file(GLOB QUARNEL_HOST_WIN_SOURCES CONFIGURE_DEPENDS src/host/win/*.cpp)
add_library(quarnel_host_win STATIC ${QUARNEL_HOST_WIN_SOURCES})
target_link_libraries(quarnel_host_win PUBLIC quarnel_core)
