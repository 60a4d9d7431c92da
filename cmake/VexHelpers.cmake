# Small helpers shared by every folder of the tree.

# Adds each listed sub-folder that has a CMakeLists.txt, so that a folder can
# join the build by existing.
# With VEX_ONLY set to a list of folders relative to the top (for example
# "sim;tests/sim"), only those folders are added: a developer can build one
# part while another part of the tree is being changed.
set(VEX_ONLY "" CACHE STRING "Build only these folders (relative paths); empty builds all")
function(vex_add_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
      if(VEX_ONLY AND NOT rel IN_LIST VEX_ONLY)
        continue()
      endif()
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# vex_add_test(NAME name SOURCES ... LIBS ... [ENV VAR=VALUE ...] [TIMEOUT s]
#              [NETNS] [LABELS label ...])
# One GoogleTest program registered as one ctest entry. The tests of one
# program share a process, so related cases can share a fixture.
#
# NETNS runs the program through vex_netns_run (tests/support): on a network,
# a /run and a process tree of its own, for tests that need a port mapper
# (port 111), fixed ports or broadcasts. Such tests never share those with
# another test or the host, so they need no resource lock and run in
# parallel; where no namespace can be made they are reported as skipped.
#
# LABELS: "timing" marks suites whose results depend on timing and on other
# processes; continuous integration runs them several times in a row beside
# a CPU hog.
function(vex_add_test)
  cmake_parse_arguments(T "NETNS" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(T_NETNS)
    add_test(NAME ${T_NAME} COMMAND vex_netns_run $<TARGET_FILE:${T_NAME}>)
    set_tests_properties(${T_NAME} PROPERTIES SKIP_RETURN_CODE 77)
    add_dependencies(${T_NAME} vex_netns_run)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  # Every test process gets a registry of its own in the build tree, so a
  # test never reads or writes the user's class registry. A registry named
  # by the environment is not given a folder: the folder is made here.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-registry)
  set(env "VEXCOM_REGISTRY=${CMAKE_BINARY_DIR}/test-registry/${T_NAME}.json" ${T_ENV})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
