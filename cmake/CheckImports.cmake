# Fails when an executable imports a function that Windows XP SP3 lacks, from
# those the mingw-w64 runtime is known to pull in (the posix thread model's
# libstdc++ and winpthreads) and those the program must look up at run time.
# cmake -DOBJDUMP=... -DFILES="a.exe;b.exe" -P CheckImports.cmake
cmake_minimum_required(VERSION 3.22)
set(post_xp
  GetTickCount64
  InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
  WakeConditionVariable WakeAllConditionVariable
  InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared
  ReleaseSRWLockExclusive ReleaseSRWLockShared
  TryAcquireSRWLockExclusive TryAcquireSRWLockShared
  InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete
  FlsAlloc FlsFree FlsGetValue FlsSetValue
  GetSystemTimePreciseAsFileTime GetCurrentProcessorNumber
  CreateEventExW CreateMutexExW CreateSemaphoreExW
  GetFileInformationByHandleEx SetFileInformationByHandle GetFinalPathNameByHandleW
  CreateSymbolicLinkW GetLocaleInfoEx LCMapStringEx CompareStringEx
  IsWow64Process TaskDialog TaskDialogIndirect
  BCryptOpenAlgorithmProvider BCryptCreateHash BCryptHashData BCryptFinishHash)
set(bad "")
foreach(file ${FILES})
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed")
  endif()
  # Import lines read "<hint> <name>" (or "<address> <hint> <name>").
  string(REGEX MATCHALL "\n[ \t]+[0-9a-fA-F]+[ \t]+([0-9]+[ \t]+)?[A-Za-z_][A-Za-z0-9_@]*" lines "${dump}")
  list(LENGTH lines count)
  if(count LESS 20)
    message(FATAL_ERROR "${file}: no import table found in the objdump output")
  endif()
  foreach(line ${lines})
    string(REGEX MATCH "[A-Za-z_][A-Za-z0-9_@]*$" name "${line}")
    if(name IN_LIST post_xp)
      list(APPEND bad "${file}: ${name}")
    endif()
  endforeach()
endforeach()
if(bad)
  string(REPLACE ";" "\n" bad "${bad}")
  message(FATAL_ERROR "imports that Windows XP lacks:\n${bad}")
endif()
