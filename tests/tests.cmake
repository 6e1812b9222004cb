# GoogleTest from the machine's sources, compiled with the cross compiler.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Helpers the tests share: the Wine-side harness and the UI driver.
file(GLOB SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER SUPPORT_SOURCES EXCLUDE REGEX ".*/(unit_main|uidriver_main)\\.cpp$")
add_library(testsupport STATIC ${SUPPORT_SOURCES})
target_include_directories(testsupport PUBLIC ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(testsupport PUBLIC setupcore gtest shell32 ole32 uuid)

# One executable per file: tests/unit/test_NAME.cpp -> unit_NAME.exe
file(GLOB UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/test_*.cpp)
foreach(src ${UNIT_TESTS})
  get_filename_component(name ${src} NAME_WE)
  string(REPLACE "test_" "unit_" exe ${name})
  add_executable(${exe} ${src} ${CMAKE_SOURCE_DIR}/tests/support/unit_main.cpp ${SETUP_RC})
  add_dependencies(${exe} art)
  target_link_libraries(${exe} PRIVATE testsupport)
  target_link_options(${exe} PRIVATE ${ZL_LINK_FLAGS})
  add_test(NAME ${exe} COMMAND ${exe})
  # Tests share one Wine prefix (win.ini, registry, PROGMAN): one at a time.
  set_tests_properties(${exe} PROPERTIES LABELS unit TIMEOUT 300 RESOURCE_LOCK wineprefix)
endforeach()

# End-to-end: tests/e2e/test_NAME.cpp -> e2e_NAME.exe, driving setup.exe.
# They change settings of the whole Wine prefix (Windows version, win.ini),
# so they run one at a time.
file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.cpp)
foreach(src ${E2E_TESTS})
  get_filename_component(name ${src} NAME_WE)
  string(REPLACE "test_" "e2e_" exe ${name})
  add_executable(${exe} ${src} ${CMAKE_SOURCE_DIR}/tests/support/unit_main.cpp ${SETUP_RC})
  add_dependencies(${exe} art setup)
  target_link_libraries(${exe} PRIVATE testsupport)
  target_link_options(${exe} PRIVATE ${ZL_LINK_FLAGS})
  add_test(NAME ${exe} COMMAND ${exe})
  set_tests_properties(${exe} PROPERTIES LABELS e2e TIMEOUT 900 RESOURCE_LOCK wineprefix)
endforeach()

# Pictures of the installation dialogs as a user sees them (scripts/pictures.sh).
add_executable(dialog_pictures ${CMAKE_SOURCE_DIR}/tests/pictures/dialog_pictures.cpp ${SETUP_RC})
add_dependencies(dialog_pictures art)
target_link_libraries(dialog_pictures PRIVATE testsupport)
target_link_options(dialog_pictures PRIVATE ${ZL_LINK_FLAGS})

# The Program Manager stand-in of the DDE client's tests. The tests that talk
# to a "PROGMAN" server (the stand-in or Wine's own) run one at a time with
# the end-to-end tests, which talk to Wine's.
add_executable(fake_progman WIN32 ${CMAKE_SOURCE_DIR}/tests/tools/fake_progman.cpp)
target_link_libraries(fake_progman PRIVATE user32)
target_link_options(fake_progman PRIVATE ${ZL_LINK_FLAGS})
# Runs a program in a window station without a shell.
add_executable(no_shell WIN32 ${CMAKE_SOURCE_DIR}/tests/tools/no_shell.cpp)
target_link_libraries(no_shell PRIVATE user32)
target_link_options(no_shell PRIVATE ${ZL_LINK_FLAGS})
foreach(exe e2e_install_quiet e2e_hostile_progman)
  add_dependencies(${exe} no_shell)
endforeach()
foreach(exe unit_progman unit_group_select unit_registry unit_registration unit_removal)
  if(TARGET ${exe})
    add_dependencies(${exe} fake_progman)
    set_tests_properties(${exe} PROPERTIES RESOURCE_LOCK "wineprefix;progman")
  endif()
endforeach()
if(TARGET unit_progman)
  target_link_libraries(unit_progman PRIVATE ole32 uuid)
endif()

# The payload's tests need setup.exe (read as data), the stand-in product
# and the packer's edge cases; the packer itself is checked on the host
# against the reference SZDD tools.
foreach(exe unit_extract unit_placement e2e_payload)
  if(TARGET ${exe})
    add_dependencies(${exe} setup szdd_cases)
  endif()
endforeach()
add_test(NAME host_szdd
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/szdd_check.sh ${HOST_TOOLS_DIR}/szdd
          ${CMAKE_BINARY_DIR}/szdd-check ${CMAKE_BINARY_DIR}/payload/manifest.txt)
set_tests_properties(host_szdd PROPERTIES LABELS host TIMEOUT 300)
# The program's expander, built for the host, against libmspack.
add_test(NAME host_szdd_expander
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/szdd_expander.sh ${CMAKE_SOURCE_DIR}
          ${CMAKE_BINARY_DIR}/szdd-expander ${CMAKE_BINARY_DIR}/payload/manifest.txt)
set_tests_properties(host_szdd_expander PROPERTIES LABELS host TIMEOUT 600)
# The build option that carries an install.ini (ZL_INSTALL_INI) and its record.
add_test(NAME host_instini
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/instini_check.sh ${HOST_TOOLS_DIR}/payloadrc
          ${CMAKE_BINARY_DIR}/product ${CMAKE_BINARY_DIR}/instini-check)
set_tests_properties(host_instini PROPERTIES LABELS host TIMEOUT 300)

# Hostile inputs and faults. The fault and reply tests talk to the Program
# Manager stand-in; the template test builds its module from it. The volume
# faults run once more under a script that mounts a full and a read-only
# volume (root only; skipped otherwise).
foreach(exe e2e_hostile_faults e2e_hostile_progman unit_hostile_template)
  if(TARGET ${exe})
    add_dependencies(${exe} fake_progman)
    set_tests_properties(${exe} PROPERTIES RESOURCE_LOCK "wineprefix;progman")
  endif()
endforeach()
if(TARGET e2e_hostile_faults)
  add_test(NAME e2e_hostile_volumes
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/hostile_volumes.sh $<TARGET_FILE:e2e_hostile_faults>)
  set_tests_properties(e2e_hostile_volumes PROPERTIES LABELS e2e TIMEOUT 600 RESOURCE_LOCK "wineprefix;progman")
endif()

# The registration and removal tests work on the stand-in product's files.
foreach(exe unit_registration unit_removal)
  if(TARGET ${exe})
    add_dependencies(${exe} setup)
  endif()
endforeach()
# The cases named CodePage932 on that code page: Wine takes it from LANG.
foreach(exe unit_shell e2e_hostile_inputs)
  if(TARGET ${exe})
    add_test(NAME ${exe}_cp932 COMMAND ${exe} --gtest_filter=*CodePage932*)
    set_tests_properties(${exe}_cp932 PROPERTIES LABELS cp932 TIMEOUT 300 RESOURCE_LOCK "wineprefix;progman"
      ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8")
  endif()
endforeach()
