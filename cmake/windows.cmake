# Windows x64 build: the product library, QuorvelSetup.exe and the tests that run under Wine.
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

file(GLOB QV_ALL_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/ui/*.cpp ${CMAKE_SOURCE_DIR}/install/*.cpp
  ${CMAKE_SOURCE_DIR}/patch/*.cpp ${CMAKE_SOURCE_DIR}/uninstall/*.cpp ${CMAKE_SOURCE_DIR}/support/*.cpp)
list(REMOVE_ITEM QV_ALL_SOURCES ${CMAKE_SOURCE_DIR}/app/main.cpp)
list(FILTER QV_ALL_SOURCES EXCLUDE REGEX "_host\\.cpp$")
qv_require_glob("the Windows modules" "app/ ui/ install/ patch/ uninstall/ support/" ${QV_ALL_SOURCES})
# Named one by one, so that a missing one stops configuration instead of leaving a program out.
set(QV_MAIN ${CMAKE_SOURCE_DIR}/app/main.cpp)
set(QV_RC ${CMAKE_SOURCE_DIR}/resources/quorvel.rc)
set(QV_TEST_PROGRAMS ${CMAKE_SOURCE_DIR}/tests/tools/patch_driver.cpp ${CMAKE_SOURCE_DIR}/tests/tools/desktop_holder.c)
qv_require_sources("the Windows programs" ${QV_MAIN} ${QV_RC} ${QV_TEST_PROGRAMS})

# The program links implicitly only against DLLs that Windows always takes from the
# system folder; everything else goes through support/system_library.
add_library(qv_core STATIC ${QV_ALL_SOURCES})
target_include_directories(qv_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(qv_core PRIVATE ${QV_WARNINGS})
target_link_libraries(qv_core PUBLIC
  /usr/x86_64-w64-mingw32/lib/libz.a
  /usr/x86_64-w64-mingw32/lib/libgcrypt.a /usr/x86_64-w64-mingw32/lib/libgpg-error.a
  ws2_32 ole32 oleaut32 uuid shell32 shlwapi user32 gdi32 advapi32 ntdll kernel32)

# The build constants are compiled into each executable, so that the same library serves the
# product, the end-to-end test variant (patch server on 127.0.0.1, test key) and the demo variant.
function(qv_build_config out url key website floor_ms prelude)
  string(REGEX REPLACE "([0-9A-Fa-f][0-9A-Fa-f])" "0x\\1," QV_PUBLIC_KEY_BYTES "${key}")
  set(QV_REQUEST_DEADLINE_FLOOR_MS ${floor_ms})
  set(QV_CONFIG_PRELUDE "${prelude}")
  set(QUORVEL_PATCH_BASE_URL "${url}")
  set(QUORVEL_WEBSITE_URL "${website}")
  configure_file(${CMAKE_SOURCE_DIR}/app/build_config.cpp.in ${out} @ONLY)
endfunction()

file(READ ${CMAKE_SOURCE_DIR}/tests/data/test_release.pub QV_TEST_PUBLIC_KEY)
string(STRIP "${QV_TEST_PUBLIC_KEY}" QV_TEST_PUBLIC_KEY)
file(READ ${CMAKE_SOURCE_DIR}/tools/demo/demo_release.pub QV_DEMO_PUBLIC_KEY)
string(STRIP "${QV_DEMO_PUBLIC_KEY}" QV_DEMO_PUBLIC_KEY)
set(QV_E2E_PORT 28461 CACHE STRING "Port of the patch server the end-to-end test variant talks to")
set(QV_DEMO_PORT 28462 CACHE STRING "Port of the patch server of ./run demo")
# The end-to-end variant gives up a request after 3 s plus its bytes at the minimum rate, so
# that its tests of servers that never finish an answer take seconds; the product waits 30 s.
set(QV_E2E_DEADLINE_FLOOR_MS 3000)
qv_build_config(${CMAKE_BINARY_DIR}/generated/build_config_e2e.cpp
  "http://127.0.0.1:${QV_E2E_PORT}/patch/" "${QV_TEST_PUBLIC_KEY}" "https://www.quorvel.net/" ${QV_E2E_DEADLINE_FLOOR_MS}
  "#include \"tests/tools/e2e_config.h\"")
qv_build_config(${CMAKE_BINARY_DIR}/generated/build_config_demo.cpp
  "http://127.0.0.1:${QV_DEMO_PORT}/patch/" "${QV_DEMO_PUBLIC_KEY}" "https://www.quorvel.net/" 30000 "")

# windres writes no dependency file: rebuild the resources when an image changes.
file(GLOB QV_RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.png ${CMAKE_SOURCE_DIR}/resources/*.jpg
     ${CMAKE_SOURCE_DIR}/resources/*.ico ${CMAKE_SOURCE_DIR}/resources/*.manifest)
set_source_files_properties(${QV_RC} PROPERTIES OBJECT_DEPENDS "${QV_RC_INPUTS}")
foreach(variant IN ITEMS product e2e demo)
  if(variant STREQUAL "product")
    set(target QuorvelSetup)
    set(config ${CMAKE_BINARY_DIR}/generated/build_config.cpp)
  else()
    set(target QuorvelSetup-${variant})
    set(config ${CMAKE_BINARY_DIR}/generated/build_config_${variant}.cpp)
  endif()
  add_executable(${target} WIN32 ${QV_MAIN} ${config} ${QV_RC})
  target_compile_options(${target} PRIVATE ${QV_WARNINGS})
  target_link_options(${target} PRIVATE -municode -s)
  target_link_libraries(${target} PRIVATE qv_core)
endforeach()

# ---- Tests under Wine --------------------------------------------------------
add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
file(GLOB QV_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
qv_require_glob("the Windows tests" tests/win/*.cpp ${QV_WIN_TESTS})
add_executable(qv_tests ${QV_WIN_TESTS} ${CMAKE_BINARY_DIR}/generated/build_config.cpp)
target_compile_options(qv_tests PRIVATE ${QV_WARNINGS})
target_link_libraries(qv_tests PRIVATE qv_core GTest::gtest GTest::gmock GTest::gtest_main)
set_target_properties(qv_tests PROPERTIES CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/cmake/wine_test.sh)
# One patch run from the command line (crash test, benchmark).
add_executable(qv_patch_driver ${CMAKE_SOURCE_DIR}/tests/tools/patch_driver.cpp ${CMAKE_BINARY_DIR}/generated/build_config.cpp)
target_compile_options(qv_patch_driver PRIVATE ${QV_WARNINGS})
target_link_options(qv_patch_driver PRIVATE -municode)
target_link_libraries(qv_patch_driver PRIVATE qv_core)

add_executable(qv_desktop_holder ${CMAKE_SOURCE_DIR}/tests/tools/desktop_holder.c)
target_link_options(qv_desktop_holder PRIVATE -municode)
set(QV_TEST_DATA ${CMAKE_BINARY_DIR}/testdata)
file(MAKE_DIRECTORY ${QV_TEST_DATA})
gtest_discover_tests(qv_tests
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 120
  PROPERTIES
    FIXTURES_REQUIRED servers
    ENVIRONMENT "QV_TEST_DATA=${QV_TEST_DATA};QV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 300)

# Test servers (nginx serving a published release, the fault server) for the whole run.
add_test(NAME servers.start COMMAND ${CMAKE_SOURCE_DIR}/tests/servers/start.sh ${QV_TEST_DATA} ${CMAKE_SOURCE_DIR})
add_test(NAME servers.stop COMMAND ${CMAKE_SOURCE_DIR}/tests/servers/stop.sh ${QV_TEST_DATA})
set_tests_properties(servers.start PROPERTIES FIXTURES_SETUP servers)
set_tests_properties(servers.stop PROPERTIES FIXTURES_CLEANUP servers)

# End-to-end scripts that drive the real executable under Wine (and Xvfb).
file(GLOB QV_E2E CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.sh ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py)
foreach(script IN LISTS QV_E2E)
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME e2e.${name} COMMAND ${script})
  # Each script has a Wine prefix and a port of its own, so they run side by side and beside
  # the unit tests; the longest start first. The limit leaves room on a loaded machine.
  # Relative lengths on a quiet machine, so that a fresh build folder (no timings of its own yet)
  # starts the longest first.
  set(cost 1000)
  if(name MATCHES "^test_gui_(install|pages)$")
    set(cost 4000)
  elseif(name MATCHES "^test_gui_(repair|speed)$|^test_install_(exit_codes|unattended)$")
    set(cost 2000)
  endif()
  set_tests_properties(e2e.${name} PROPERTIES
    FIXTURES_REQUIRED servers COST ${cost} TIMEOUT 900
    ENVIRONMENT "QV_TEST_DATA=${QV_TEST_DATA};QV_SOURCE_DIR=${CMAKE_SOURCE_DIR};QV_BUILD_DIR=${CMAKE_BINARY_DIR};QV_E2E_PORT=${QV_E2E_PORT};QV_E2E_DEADLINE_FLOOR_MS=${QV_E2E_DEADLINE_FLOOR_MS}")
endforeach()
