# Fails when a core source includes a Qt, Windows or Linux/POSIX header.
file(GLOB_RECURSE files
  ${SOURCE_DIR}/src/app/*.h ${SOURCE_DIR}/src/app/*.cpp
  ${SOURCE_DIR}/src/devices/*.h ${SOURCE_DIR}/src/devices/*.cpp
  ${SOURCE_DIR}/src/ata/*.h ${SOURCE_DIR}/src/ata/*.cpp
  ${SOURCE_DIR}/src/nvme/*.h ${SOURCE_DIR}/src/nvme/*.cpp
  ${SOURCE_DIR}/src/reports/*.h ${SOURCE_DIR}/src/reports/*.cpp
  ${SOURCE_DIR}/src/ui/*.h ${SOURCE_DIR}/src/ui/*.cpp
  ${SOURCE_DIR}/src/util/*.h ${SOURCE_DIR}/src/util/*.cpp
  ${SOURCE_DIR}/src/format/*.h ${SOURCE_DIR}/src/format/*.cpp
  ${SOURCE_DIR}/src/agreement/*.h ${SOURCE_DIR}/src/agreement/*.cpp
  ${SOURCE_DIR}/src/host/Host.h ${SOURCE_DIR}/src/host/Host.cpp
  ${SOURCE_DIR}/src/host/HostConstants.h ${SOURCE_DIR}/src/host/Bytes.h)
set(bad "")
foreach(f ${files})
  # Folders holding windows are front ends, not core.
  if(f MATCHES "/(gui|qt|windows)/")
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(l ${lines})
    if(l MATCHES "<(Q[A-Za-z]+|Qt[A-Za-z]*/|windows\\.h|winioctl\\.h|linux/|sys/|unistd\\.h|fcntl\\.h|scsi/|libmount|nlohmann)")
      list(APPEND bad "${f}: ${l}")
    endif()
  endforeach()
endforeach()
if(bad)
  string(REPLACE ";" "\n" bad "${bad}")
  message(FATAL_ERROR "platform headers in the core:\n${bad}")
endif()
