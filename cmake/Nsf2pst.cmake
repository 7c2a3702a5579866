# nsf2pst_test(NAME SOURCES... LIBS lib...) builds one GoogleTest executable
# and registers its cases with CTest. Tests find shared fixtures through
# NSF2PST_SOURCE_DIR and the built programs through NSF2PST_BINARY_DIR.
function(nsf2pst_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    NSF2PST_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    NSF2PST_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}"
    ENVIRONMENT "NSF2PST_HEADLESS=1;NSF2PST_BINARY_DIR=${PROJECT_BINARY_DIR};NSF2PST_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# nsf2pst_allocator(TARGET) links a converting program with tcmalloc when the
# build uses it (see NSF2PST_TCMALLOC).
function(nsf2pst_allocator target)
  if(TARGET PkgConfig::TCMALLOC)
    target_link_libraries(${target} PRIVATE PkgConfig::TCMALLOC)
  endif()
endfunction()
