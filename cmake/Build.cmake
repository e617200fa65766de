# Shared compile settings and helpers for modules, tests, benchmarks and fuzzers.

# Results must not depend on the compiler fusing multiply-adds: battles and
# replays compute the same bits on every machine.
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)

# Pools and the aligned allocator hand out zero-filled storage and then
# construct objects in it; g++ would otherwise drop that zeroing as a store
# to memory whose object lifetime has not begun yet (only at -O2 and above,
# so a sanitizer build would never show it).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-fno-lifetime-dse)
endif()

# The sanitizer builds' test programs are large: LLVM's linker links them in
# a third of the time of the default one.
find_program(KVR_LLD ld.lld)
if(KVR_LLD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_link_options(-fuse-ld=lld)
endif()

if(KVR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KVR_FUZZ)
  # Coverage for libFuzzer in every library, not only in the fuzz target's
  # own file: the parsers under test live in the engine libraries.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(KVR_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  # Only the tests read it (tests/support/TimeScale.h): the same work runs
  # several times slower here than in the builds their waits were sized for.
  add_compile_definitions(KVR_TEST_TIME_SCALE=4)
endif()

include_directories(${PROJECT_SOURCE_DIR})

# kvr_add_module(<target> [SUBDIRS dir...] [DEPS lib...]): one static library
# from every .cpp of the calling folder and of the named sub-folders.
function(kvr_add_module target)
  cmake_parse_arguments(ARG "" "" "SUBDIRS;DEPS" ${ARGN})
  set(patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(dir ${ARG_SUBDIRS})
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# The environment every test runs in: software GL, OpenAL's null driver,
# sanitizers that stop at the first report, GTK settings kept in memory
# (there is no session bus to reach dconf).
set(KVR_TEST_ENV
  "ALSOFT_DRIVERS=null"
  "LIBGL_ALWAYS_SOFTWARE=1"
  "GALLIUM_DRIVER=llvmpipe"
  "SDL_AUDIODRIVER=dummy"
  # intercept_tls_get_addr=0: the leak checker's own record of dynamic TLS
  # blocks goes stale once Mesa's driver libraries have been loaded, and
  # scanning it crashed the checker ("Tracer caught signal 11") at exit,
  # depending only on the memory layout.
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:intercept_tls_get_addr=0"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/scripts/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/scripts/tsan.supp"
  "KVR_MESSAGE_BOX=stderr"
  "GSETTINGS_BACKEND=memory"
  "KVR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")

# kvr_add_test_folder(<target> [SERIAL] [PER_CASE] [TIMEOUT seconds]
# [COST cost] [LABEL label] LIBS lib...): one test program from every .cpp
# of the calling folder, each of its test suites registered with ctest as
# one test (cmake/AddSuiteTests.cmake; PER_CASE: each test case), with the
# label if one is given; SERIAL tests run alone, never beside other tests
# of a parallel run; tests of a higher COST start first; a test may take
# 600 seconds unless TIMEOUT says more.
function(kvr_add_test_folder target)
  cmake_parse_arguments(ARG "SERIAL;PER_CASE" "TIMEOUT;LABEL;COST" "LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  if(NOT ARG_COST)
    set(ARG_COST 0)
  endif()
  set(serial FALSE)
  if(ARG_SERIAL)
    set(serial TRUE)
  endif()
  set(per_case ${KVR_TEST_PER_CASE})
  if(ARG_PER_CASE)
    set(per_case TRUE)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources} ${PROJECT_SOURCE_DIR}/tests/support/process/KeepLibrariesLoaded.cpp)
  # Every library in the process must bind to the test program's dlclose.
  target_link_options(${target} PRIVATE "LINKER:--export-dynamic-symbol=dlclose")
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(KVR_TEST_CODE_FLAGS)
    target_compile_options(${target} PRIVATE ${KVR_TEST_CODE_FLAGS})
  endif()
  # The environment goes in front of the command through env(1); the
  # listing of the suites needs it too.
  set(emulator "env;${KVR_TEST_ENV}")
  set(prefix "${CMAKE_CURRENT_BINARY_DIR}/${target}")
  file(GENERATE OUTPUT "${prefix}_suites_include.cmake" CONTENT
"set(EXECUTABLE [==[$<TARGET_FILE:${target}>]==])
set(EMULATOR [==[${emulator}]==])
set(WORKING_DIRECTORY [==[${CMAKE_CURRENT_BINARY_DIR}]==])
set(CTEST_FILE [==[${prefix}_suites.cmake]==])
set(LIST_FILE [==[${prefix}_suites.list]==])
set(TIMEOUT ${ARG_TIMEOUT})
set(SERIAL ${serial})
set(LABEL [==[${ARG_LABEL}]==])
set(PER_CASE ${per_case})
set(COST ${ARG_COST})
include([==[${PROJECT_SOURCE_DIR}/cmake/AddSuiteTests.cmake]==])
include([==[${prefix}_suites.cmake]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${prefix}_suites_include.cmake")
endfunction()
