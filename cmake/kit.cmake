# Helpers shared by every folder of the kit.
include_guard(GLOBAL)

# KIT_WINDOWS: a Windows build, with MinGW-w64 on Linux or with Visual
# Studio on Windows. KIT_UNDER_WINE: its tests run under Wine.
if(WIN32)
  set(KIT_WINDOWS ON)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Off where this machine cannot execute the build's programs (a kernel
  # without 32-bit support cannot run wine32): then only the static checks of
  # the binaries are registered as tests.
  option(KIT_RUN_WINDOWS_TESTS "Register the tests that run the Windows programs" ON)
  if(CMAKE_CROSSCOMPILING)
    set(KIT_UNDER_WINE ON)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(KIT_WINE_BITS 64)
    else()
      set(KIT_WINE_BITS 32)
    endif()
    # Tests run under Wine in a private prefix inside the build tree.
    set(KIT_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${PROJECT_SOURCE_DIR}/tools/wine-run;${KIT_WINE_PREFIX};${KIT_WINE_BITS})
  endif()
else()
  set(KIT_WINDOWS OFF)
  set(KIT_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                          -fno-omit-frame-pointer)
endif()

# One warning set for all of the kit's own code; CI makes every warning an
# error. (GoogleTest, added before this file, keeps its own.)
option(KIT_WARNINGS_AS_ERRORS "Fail the build on any compiler warning" OFF)
if(MSVC)
  set(kit_warnings /W4 $<$<BOOL:${KIT_WARNINGS_AS_ERRORS}>:/WX>)
else()
  # A function meant for one file but left outside its anonymous namespace
  # (or without `static`) has no declaration before it: said by GCC's
  # -Wmissing-declarations and Clang's -Wmissing-prototypes.
  set(kit_warnings -Wall -Wextra
      $<IF:$<CXX_COMPILER_ID:Clang>,-Wmissing-prototypes,-Wmissing-declarations>
      $<$<BOOL:${KIT_WARNINGS_AS_ERRORS}>:-Werror>)
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${kit_warnings}>")

# kit_library(name SOURCES ... [LIBS ...] [INCLUDE dir])
# A static library; natively also name_sanitized, the same code built under
# AddressSanitizer and UndefinedBehaviorSanitizer for the unit tests.
function(kit_library name)
  cmake_parse_arguments(ARG "" "INCLUDE" "SOURCES;LIBS" ${ARGN})
  set(variants ${name})
  if(NOT KIT_WINDOWS)
    list(APPEND variants ${name}_sanitized)
  endif()
  foreach(v IN LISTS variants)
    add_library(${v} STATIC ${ARG_SOURCES})
    target_include_directories(${v} PUBLIC ${ARG_INCLUDE})
    foreach(lib IN LISTS ARG_LIBS)
      if(v MATCHES "_sanitized$" AND TARGET ${lib}_sanitized)
        target_link_libraries(${v} PUBLIC ${lib}_sanitized)
      else()
        target_link_libraries(${v} PUBLIC ${lib})
      endif()
    endforeach()
    if(v MATCHES "_sanitized$")
      target_compile_options(${v} PRIVATE ${KIT_SANITIZER_FLAGS})
      target_link_options(${v} PUBLIC ${KIT_SANITIZER_FLAGS})
    endif()
  endforeach()
endfunction()

# ---- Tests -----------------------------------------------------------------
# tools/test.sh runs each build's tests several at a time (ctest -j) and counts
# them in its table:
# - a GoogleTest program registered with kit_test is one ctest test: it runs
#   once, all its cases in one process (under Wine one start, not one per
#   case), and writes each case's outcome to a results file, from which the
#   table counts and names the cases;
# - any other test, added with plain add_test (a script, a program with its
#   own main), counts as one test.
# Tests that would disturb one another hold a lock (RESOURCE_LOCK), by these
# names:
#   desktop               shows a window, moves the focus, types keys or reads
#                         the screen: another test's window could cover it or
#                         take its focus (a program in a Wine session of its
#                         own locks that session's prefix instead);
#   lorvane_registration  registers Lorvane.dll in the prefix's classes.
#
# A new test program, in its folder's CMakeLists.txt:
#   kit_test(my_tests SOURCES tests/my_test.cpp LIBS my_library [RESOURCE_LOCK desktop]
#            [HEAP_CHECKED])
# or, for a program with its own main or its own command line:
#   add_test(NAME my_check COMMAND my_program ...)
#   set_tests_properties(my_check PROPERTIES RESOURCE_LOCK desktop
#                        ENVIRONMENT WINEDEBUG=warn+heap FAIL_REGULAR_EXPRESSION "warn:heap")
# A GoogleTest program added that way still has its cases counted when its
# command line ends with the option kit_test_results(my_check option) gives.

# The tests' own code and GoogleTest are compiled without optimisation, which
# takes half the time; the code under test keeps the build's settings.
set(kit_test_code_options)
if(NOT MSVC)
  set(kit_test_code_options -O0)
  target_compile_options(gtest PRIVATE ${kit_test_code_options})
  target_compile_options(gtest_main PRIVATE ${kit_test_code_options})
endif()

# kit_test_results(test var): sets var to the GoogleTest option that writes
# the cases of the ctest test `test` where tools/test.sh counts them.
function(kit_test_results test var)
  set(drive "")
  if(KIT_UNDER_WINE)
    set(drive "Z:")  # Wine's drive for the Linux root
  endif()
  set(${var} "--gtest_output=xml:${drive}${CMAKE_BINARY_DIR}/test-results/${test}.xml" PARENT_SCOPE)
endfunction()

# kit_test(name SOURCES ... [LIBS ...] [ENVIRONMENT VAR=value...]
#          [RESOURCE_LOCK resource...] [HEAP_CHECKED])
# A GoogleTest program, registered as one test that runs all its cases.
# HEAP_CHECKED runs it under Wine's heap checking, which fills freed blocks
# and reports a pointer read from one ("warn:heap"): such a report fails the
# test, where a use after free would otherwise pass silently.
function(kit_test name)
  cmake_parse_arguments(ARG "HEAP_CHECKED" "" "SOURCES;LIBS;ENVIRONMENT;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  foreach(source IN LISTS ARG_SOURCES)
    if(source MATCHES "(^|/)tests/")
      set_property(SOURCE ${source} APPEND PROPERTY COMPILE_OPTIONS ${kit_test_code_options})
    endif()
  endforeach()
  set(libs)
  foreach(lib IN LISTS ARG_LIBS)
    if(NOT KIT_WINDOWS AND TARGET ${lib}_sanitized)
      list(APPEND libs ${lib}_sanitized)
    else()
      list(APPEND libs ${lib})
    endif()
  endforeach()
  target_link_libraries(${name} PRIVATE ${libs} GTest::gtest_main)
  if(NOT KIT_WINDOWS)
    target_compile_options(${name} PRIVATE ${KIT_SANITIZER_FLAGS})
    target_link_options(${name} PRIVATE ${KIT_SANITIZER_FLAGS})
  endif()
  if(KIT_WINDOWS AND NOT KIT_RUN_WINDOWS_TESTS)
    return()
  endif()
  kit_test_results(${name} results)
  add_test(NAME ${name} COMMAND ${name} ${results})
  set_tests_properties(${name} PROPERTIES LABELS "unit")
  if(ARG_HEAP_CHECKED AND KIT_UNDER_WINE)
    list(APPEND ARG_ENVIRONMENT WINEDEBUG=warn+heap)
    set_tests_properties(${name} PROPERTIES FAIL_REGULAR_EXPRESSION "warn:heap")
  endif()
  foreach(property IN ITEMS ENVIRONMENT RESOURCE_LOCK)
    if(DEFINED ARG_${property})
      set_tests_properties(${name} PROPERTIES ${property} "${ARG_${property}}")
    endif()
  endforeach()
endfunction()

# kit_check_binary(target): a test that fails unless the Windows binary is a
# PE image of this build's kind, imports only the system DLLs a user's Windows
# already has, and carries the kit's version resource.
function(kit_check_binary target)
  if(KIT_WINDOWS AND KIT_OBJDUMP)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(format PE32+)
    else()
      set(format PE32)
    endif()
    add_test(NAME binary.${target}
             COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${KIT_OBJDUMP} -DWINDRES=${CMAKE_RC_COMPILER}
                     -DBINARY=$<TARGET_FILE:${target}> -DFORMAT=${format}
                     -DVERSION=${PROJECT_VERSION}
                     -P ${PROJECT_SOURCE_DIR}/cmake/check-binary.cmake)
    set_tests_properties(binary.${target} PROPERTIES LABELS "binary")
  endif()
endfunction()

# kit_large_address_aware(target): lets a 32-bit program use up to 4 GB of
# address space on 64-bit Windows, for logs of several hundred megabytes.
function(kit_large_address_aware target)
  if(KIT_WINDOWS AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    if(MSVC)
      target_link_options(${target} PRIVATE /LARGEADDRESSAWARE)
    else()
      target_link_options(${target} PRIVATE -Wl,--large-address-aware)
    endif()
  endif()
endfunction()

# kit_version_resource(target rc): gives the Windows binary `target` its
# resource script `rc`, which includes version_info.rc for the kit's version.
function(kit_version_resource target rc)
  target_sources(${target} PRIVATE ${rc})
  target_link_libraries(${target} PRIVATE kit_version)
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
               ${PROJECT_SOURCE_DIR}/common/version_info.rc
               ${PROJECT_BINARY_DIR}/common/generated/kit_version.h)
endfunction()

# kit_wine_benchmark(name program screen): a target `name` that runs the
# benchmark `program` under Wine, on a screen of its own (as Xvfb writes it,
# e.g. 1920x1080x24), where it prints its figures.
function(kit_wine_benchmark name program screen)
  if(KIT_UNDER_WINE)
    add_custom_target(${name}
      COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-own-session.sh ${screen}
              ${CMAKE_BINARY_DIR}/wineprefix-bench ${KIT_WINE_BITS} $<TARGET_FILE:${program}>
      DEPENDS ${program} USES_TERMINAL)
  endif()
endfunction()

# kit_check_exports(target def): a test that fails unless the DLL exports
# exactly the names its .def file lists, undecorated.
function(kit_check_exports target def)
  if(KIT_WINDOWS AND KIT_OBJDUMP)
    add_test(NAME exports.${target}
             COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${KIT_OBJDUMP} -DBINARY=$<TARGET_FILE:${target}>
                     -DDEF=${def} -P ${PROJECT_SOURCE_DIR}/cmake/check-exports.cmake)
    set_tests_properties(exports.${target} PROPERTIES LABELS "binary")
  endif()
endfunction()

# kit_unloadable(target): a DLL that callers may load and unload any number of
# times in one process with nothing left behind. With MinGW, the thread
# functions of the static runtime come from common/mingw_unloadable_runtime.cpp,
# which releases what they made when the DLL unloads; MSVC's static runtime
# does that itself.
function(kit_unloadable target)
  if(TARGET kit_unloadable_runtime)
    target_link_libraries(${target} PRIVATE kit_unloadable_runtime)
  endif()
endfunction()
