# Adds DIR itself when it has a CMakeLists.txt, else each child folder the
# same way, so areas can be added without touching the top level.
function(zolmet_add_subdirs dir)
  set(base ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
  if(NOT IS_DIRECTORY ${base})
    return()
  endif()
  if(EXISTS ${base}/CMakeLists.txt)
    add_subdirectory(${base})
    return()
  endif()
  file(GLOB children RELATIVE ${base} ${base}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${base}/${child}/CMakeLists.txt)
      add_subdirectory(${base}/${child})
    elseif(IS_DIRECTORY ${base}/${child})
      zolmet_add_subdirs(${dir}/${child})
    endif()
  endforeach()
endfunction()

# zolmet_test(NAME name [LABEL unit|e2e|cups] [THREADS] [LOCK resource] SOURCES ... LIBS ...)
# One GoogleTest program per area; every case runs under ctest with the label,
# and the whole program once more as NAME.whole (label "whole").
# LOCK names a resource the cases share (as a scheduler of the machine):
# ctest runs no two cases holding it at once.
# THREADS marks a program of threaded tests: it also carries the label
# "tsan" and belongs to the target zolmet_tsan_tests, which CI builds and
# runs in a second tree under ThreadSanitizer.
function(zolmet_test)
  cmake_parse_arguments(T "THREADS" "NAME;LABEL;TIMEOUT;LOCK" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(T_THREADS)
    if(NOT TARGET zolmet_tsan_tests)
      add_custom_target(zolmet_tsan_tests)
    endif()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} zolmet_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE
    ZOLMET_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    ZOLMET_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set(lock "")
  if(T_LOCK)
    set(lock RESOURCE_LOCK ${T_LOCK})
  endif()
  # Each case is a ctest entry of its own, so a failure or time-out names it.
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT} ${lock})
  # And the program once whole, its cases shuffled (label "whole", which
  # make test leaves to CI's own step): a case that fails after another in
  # one process shows there.
  add_test(NAME ${T_NAME}.whole COMMAND ${T_NAME} --gtest_shuffle)
  set_tests_properties(${T_NAME}.whole PROPERTIES LABELS "whole" TIMEOUT 1800 ${lock})
  if(T_THREADS)
    add_dependencies(zolmet_tsan_tests ${T_NAME})
    # PROPERTIES above is one flat list, which cannot carry a second label:
    # the cases found get both from a script ctest reads after the discovery.
    set(labels ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake)
    file(WRITE ${labels}
      "if(DEFINED ${T_NAME}_TESTS)\n"
      "  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"${T_LABEL};tsan\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels})
  endif()
endfunction()

# zolmet_add_resources(TARGET
#   [RESOURCES type name file ...]   triples; a file may be $<TARGET_FILE:other>
#   [DEPENDS target ...]             targets that build those files
#   [FILE_VERSION a.b.c.d] [PRODUCT_VERSION a.b.c.d] [FILE_TYPE APP|DLL]
#   [STRINGS key=value ...])         string values of the version block
# Packs them into the section ".zolmet_rsrc" of TARGET's file after each
# link; a changed resource file relinks TARGET. A version block is added when
# any of the version arguments is given.
function(zolmet_add_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 R "" "FILE_VERSION;PRODUCT_VERSION;FILE_TYPE"
                        "RESOURCES;DEPENDS;STRINGS")
  if(R_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zolmet_add_resources(${target}): unknown arguments ${R_UNPARSED_ARGUMENTS}")
  endif()
  set(def "")
  set(files "")
  list(LENGTH R_RESOURCES n)
  math(EXPR rest "${n} % 3")
  if(NOT rest EQUAL 0)
    message(FATAL_ERROR "zolmet_add_resources(${target}): RESOURCES takes type, name and file triples")
  endif()
  set(i 0)
  while(i LESS n)
    math(EXPR j "${i} + 1")
    math(EXPR k "${i} + 2")
    list(GET R_RESOURCES ${i} type)
    list(GET R_RESOURCES ${j} name)
    list(GET R_RESOURCES ${k} file)
    string(APPEND def "resource\t${type}\t${name}\t${file}\n")
    list(APPEND files ${file})
    math(EXPR i "${i} + 3")
  endwhile()
  if(R_FILE_VERSION)
    string(APPEND def "file_version\t${R_FILE_VERSION}\n")
  endif()
  if(R_PRODUCT_VERSION)
    string(APPEND def "product_version\t${R_PRODUCT_VERSION}\n")
  endif()
  if(R_FILE_TYPE)
    string(APPEND def "file_type\t${R_FILE_TYPE}\n")
  endif()
  foreach(s IN LISTS R_STRINGS)
    string(FIND "${s}" "=" eq)
    if(eq LESS 1)
      message(FATAL_ERROR "zolmet_add_resources(${target}): STRINGS takes key=value, got '${s}'")
    endif()
    string(SUBSTRING "${s}" 0 ${eq} key)
    math(EXPR v "${eq} + 1")
    string(SUBSTRING "${s}" ${v} -1 value)
    string(APPEND def "string\t${key}\t${value}\n")
  endforeach()

  set(defFile ${CMAKE_CURRENT_BINARY_DIR}/${target}.rsrc.def)
  set(blob ${CMAKE_CURRENT_BINARY_DIR}/${target}.rsrc)
  file(GENERATE OUTPUT ${defFile} CONTENT "${def}")
  add_custom_command(OUTPUT ${blob}
    COMMAND zolmet-rc ${defFile} ${blob}
    DEPENDS zolmet-rc ${defFile} ${files} ${R_DEPENDS}
    COMMENT "Packing the resources of ${target}"
    VERBATIM)
  add_custom_target(${target}_rsrc DEPENDS ${blob})
  add_dependencies(${target} ${target}_rsrc)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${blob})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --remove-section=.zolmet_rsrc
            --add-section .zolmet_rsrc=${blob} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
