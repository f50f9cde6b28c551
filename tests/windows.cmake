# Tests of the Windows builds, run on this Linux host.

# The test helpers need no DLL beyond Windows' own, as the program.
foreach(target recording_io clickpoints)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endforeach()
# Undecorated exports, as a port library has them; on i686 the linker
# matches the plain names in the .def file to the __stdcall symbols.
target_sources(recording_io PRIVATE ${VENTROLIK_IO_DEF})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  target_link_options(recording_io PRIVATE -Wl,--enable-stdcall-fixup)
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The executable as Windows will see it: machine, subsystem, imports,
# version data and icon.
add_test(NAME pe_file
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_pe.py
          $<TARGET_FILE:ventrolik> ${CMAKE_SYSTEM_PROCESSOR} ${PROJECT_VERSION})
add_test(NAME pe_library
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_pe.py $<TARGET_FILE:iodll> ${CMAKE_SYSTEM_PROCESSOR})

# The program end to end under Wine in Xvfb, and its command line.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(wine_runner wine32)
  set(wine_arch win32)
else()
  set(wine_runner wine)
  set(wine_arch win64)
endif()
# The 32-bit build runs on this host only where its kernel runs 32-bit
# programs; elsewhere the kernel test's windows-i686 boot runs it, in a
# guest whose kernel does, and these two are not made at all.
set(host_runs_build ON)
if(wine_runner STREQUAL "wine32")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/runs-32bit RESULT_VARIABLE no_32bit OUTPUT_VARIABLE why
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(no_32bit)
    set(host_runs_build OFF)
    message(STATUS "e2e_wine and cli_wine: not here (${why}); the kernel test runs this build in its guest")
  endif()
endif()
if(host_runs_build)
  foreach(script e2e cli)
    add_test(NAME ${script}_wine
      COMMAND ${PROJECT_SOURCE_DIR}/tools/xvfb bash ${CMAKE_CURRENT_SOURCE_DIR}/${script}.sh $<TARGET_FILE:ventrolik> $<TARGET_FILE:recording_io> ${wine_runner})
    set_tests_properties(${script}_wine PROPERTIES TIMEOUT 300 RUN_SERIAL ON SKIP_RETURN_CODE 77
      ENVIRONMENT "WINEARCH=${wine_arch};WINEPREFIX=${CMAKE_CURRENT_BINARY_DIR}/wineprefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
  endforeach()
endif()
