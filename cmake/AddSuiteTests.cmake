# Run by ctest before the tests (a test include file): lists the suites of
# one GoogleTest program and registers each suite as one ctest test, so that
# a suite's tests share one process (with PER_CASE, each test case as one,
# "Suite.Case", for a build that runs only some cases of a suite). A process costs the sanitizer runtime's
# start, the dynamic linking of a large program, the GL driver's start and
# the leak check at its end: per test, that was a third of the sanitizer
# stage. The program is asked for its list again only when it is newer
# than the list kept from the last time.
#
# Variables: EXECUTABLE, EMULATOR (a ;-list put in front of the program),
# WORKING_DIRECTORY, CTEST_FILE, LIST_FILE, TIMEOUT, SERIAL, LABEL (may be
# empty), PER_CASE, COST.
cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS "${EXECUTABLE}")
  file(WRITE "${CTEST_FILE}" "add_test([=[missing:${EXECUTABLE}]=] [=[${EXECUTABLE}]=])\n")
  return()
endif()

if(EXISTS "${LIST_FILE}" AND NOT "${EXECUTABLE}" IS_NEWER_THAN "${LIST_FILE}")
  file(READ "${LIST_FILE}" output)
else()
  execute_process(
    COMMAND ${EMULATOR} "${EXECUTABLE}" --gtest_list_tests
    WORKING_DIRECTORY "${WORKING_DIRECTORY}"
    TIMEOUT 60
    OUTPUT_VARIABLE output
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Listing the tests of ${EXECUTABLE} failed (${result}):\n${output}")
  endif()
  file(WRITE "${LIST_FILE}" "${output}")
endif()

# A suite's line starts in the first column and ends with its dot, a case's
# is indented; either may have a comment after it (a typed or
# value-parameterised one).
string(REPLACE "\n" ";" lines "${output}")
set(names "")
set(suite "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.( .*)?$")
    set(suite "${CMAKE_MATCH_1}")
    if(NOT PER_CASE)
      list(APPEND names "${suite}")
    endif()
  elseif(PER_CASE AND suite AND line MATCHES "^  ([A-Za-z0-9_/]+)( .*)?$")
    list(APPEND names "${suite}.${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES names)

set(labels "")
if(LABEL)
  set(labels " LABELS [==[${LABEL}]==]")
endif()
set(command "")
foreach(word IN LISTS EMULATOR)
  string(APPEND command " [==[${word}]==]")
endforeach()
set(script "")
foreach(name IN LISTS names)
  set(filter "${name}")
  if(NOT PER_CASE)
    set(filter "${name}.*")
  endif()
  string(APPEND script
    "add_test([==[${name}]==]${command} [==[${EXECUTABLE}]==] [==[--gtest_filter=${filter}]==] --gtest_also_run_disabled_tests)\n"
    "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY [==[${WORKING_DIRECTORY}]==] TIMEOUT ${TIMEOUT} COST ${COST} RUN_SERIAL ${SERIAL}${labels})\n")
endforeach()
file(WRITE "${CTEST_FILE}" "${script}")
