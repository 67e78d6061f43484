# Native build: the platform-free modules under the sanitizers, their tests, and the operator tools.
option(QUORVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(QUORVEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(qv_portable STATIC ${QV_PORTABLE_SOURCES})
target_compile_options(qv_portable PRIVATE ${QV_WARNINGS})
target_include_directories(qv_portable PUBLIC ${CMAKE_SOURCE_DIR})

add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
file(GLOB QV_HOST_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
qv_require_glob("the host tests" tests/host/*.cpp ${QV_HOST_TESTS})
add_executable(qv_host_tests ${QV_HOST_TESTS})
target_compile_options(qv_host_tests PRIVATE ${QV_WARNINGS})
target_link_libraries(qv_host_tests PRIVATE qv_portable GTest::gtest GTest::gmock GTest::gtest_main)
gtest_discover_tests(qv_host_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "QV_SOURCE_DIR=${CMAKE_SOURCE_DIR}" TIMEOUT 300)

add_subdirectory(tools)

# The layers' dependency rule, checked on every test run against what the compiler read for each
# source of both builds; ./run test builds the Windows one beside this one before any test.
set(QV_WINDOWS_BUILD_DIR ${CMAKE_BINARY_DIR}/../windows CACHE PATH "The Windows build whose dependencies the layers test reads")
add_test(NAME layers COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/layers.py --source ${CMAKE_SOURCE_DIR}
  --ninja ${CMAKE_MAKE_PROGRAM} --build ${CMAKE_BINARY_DIR} --build ${QV_WINDOWS_BUILD_DIR})
# The rule refuses each way around it, on throwaway trees built by the compiler.
add_test(NAME layers.rule COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/tools/layers_test.py
  ${CMAKE_SOURCE_DIR}/cmake/layers.py ${CMAKE_MAKE_PROGRAM} ${CMAKE_CXX_COMPILER})

# README's option and exit-code tables, --help and the command line name the same set.
add_test(NAME docs COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/tools/docs_check.py ${CMAKE_SOURCE_DIR})
