# Helpers shared by every folder of the project.

# Adds every direct child folder of the current source folder that has a CMakeLists.txt,
# so a new subsystem only needs its own folder.
function(orvelle_add_child_folders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# orvelle_add_test(NAME name SOURCES ... [LIBS ...] [QT] [XVFB] [TIMEOUT seconds] [LABELS ...] [ENVIRONMENT ...])
# One GoogleTest program registered as one CTest test. With QT the program gets a main()
# that creates a QApplication (offscreen platform unless the environment chooses another).
# With XVFB (for the few tests that need a real window system) the test starts its own X server
# through tests/support/run-with-xvfb and runs on the xcb platform; where no X server can be
# started it runs on the offscreen platform, where such tests skip with a message.
function(orvelle_add_test)
  cmake_parse_arguments(T "QT;XVFB" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE orvelle_qt_test_main)
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gmock ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE ORVELLE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  if(T_XVFB)
    add_test(NAME ${T_NAME} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/run-with-xvfb $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  set(env "QT_QPA_PLATFORM=offscreen;ORVELLE_AUDIO_OUTPUT=null;${T_ENVIRONMENT}")
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}")
endfunction()

# orvelle_add_fuzzer(NAME name SOURCES ... [LIBS ...] CORPUS folder)
# With ORVELLE_FUZZ a libFuzzer program; otherwise the same entry point linked with a
# replay driver, and a CTest test that runs it over the seed corpus.
function(orvelle_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  set(target fuzz_${F_NAME})
  add_executable(${target} ${F_SOURCES})
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  if(ORVELLE_FUZZ)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    # -runs=0 makes libFuzzer run each corpus file once and exit.
    add_test(NAME ${target}_replay COMMAND ${target} -runs=0 ${F_CORPUS})
  else()
    target_link_libraries(${target} PRIVATE orvelle_fuzz_replay)
    add_test(NAME ${target}_replay COMMAND ${target} ${F_CORPUS})
  endif()
  set_tests_properties(${target}_replay PROPERTIES TIMEOUT 600)
endfunction()
