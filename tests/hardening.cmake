# Checks that the program is hardened: static analysis, its import table, a
# planted DLL it must not load, and a damaged payload it must not install.

# cppcheck over src/ (scripts/deps.sh installs it).
add_test(NAME host_cppcheck
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/cppcheck.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/cppcheck)
set_tests_properties(host_cppcheck PROPERTIES LABELS host TIMEOUT 600)

# The source folders as layers: no folder includes one above it.
add_test(NAME host_layers COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/layers.sh ${CMAKE_SOURCE_DIR}/src)
set_tests_properties(host_layers PROPERTIES LABELS host TIMEOUT 60)

# The import tables of the tested setup.exe and uninstaller, and of the
# 32-bit ones when this tree is the 64-bit test build.
set(IMPORT_CHECKED $<TARGET_FILE:setup> $<TARGET_FILE:zlrem32>)
if(ZL_PRODUCT_EXE)
  get_filename_component(product_build ${ZL_PRODUCT_EXE} DIRECTORY)
  list(APPEND IMPORT_CHECKED ${ZL_PRODUCT_EXE} ${product_build}/product/zlrem32.exe)
endif()
add_test(NAME host_pe_imports
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/pe_imports.sh ${CMAKE_OBJDUMP}
          ${CMAKE_SOURCE_DIR}/tests/host/allowed-imports.txt ${IMPORT_CHECKED})
set_tests_properties(host_pe_imports PROPERTIES LABELS host TIMEOUT 60)
add_test(NAME host_manifest
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/manifest.sh ${CMAKE_OBJDUMP} ${IMPORT_CHECKED})
set_tests_properties(host_manifest PROPERTIES LABELS host TIMEOUT 60)

# 80386 code only in the shipped 32-bit images: setup.exe and the product.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPU_CHECKED ${ZL_MAP_DIR} $<TARGET_FILE:setup> ${CMAKE_BINARY_DIR}/product)
elseif(ZL_PRODUCT_EXE)
  get_filename_component(product_build ${ZL_PRODUCT_EXE} DIRECTORY)
  set(CPU_CHECKED ${product_build}/maps ${ZL_PRODUCT_EXE} ${product_build}/product)
endif()
if(CPU_CHECKED)
  find_program(ZL_I686_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
  add_test(NAME host_cpu386
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/cpu386.sh ${ZL_I686_OBJDUMP} ${CPU_CHECKED})
  set_tests_properties(host_cpu386 PROPERTIES LABELS host TIMEOUT 120)
endif()

# Planted DLLs under system names, in a folder of their own so no test
# program picks them up by accident.
foreach(name lz32 comdlg32)
  add_library(planted_${name} SHARED ${CMAKE_SOURCE_DIR}/tests/tools/planted_dll.cpp)
  set_target_properties(planted_${name} PROPERTIES OUTPUT_NAME ${name} PREFIX ""
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted
                        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted-lib)
  target_link_options(planted_${name} PRIVATE ${ZL_LINK_FLAGS} -Wl,--kill-at)
  foreach(exe e2e_dll_planting unit_sysdll e2e_install_interactive)
    if(TARGET ${exe})
      add_dependencies(${exe} planted_${name})
    endif()
  endforeach()
endforeach()
# The control case: a program importing lz32.dll does load a planted copy.
add_executable(lz32_user WIN32 ${CMAKE_SOURCE_DIR}/tests/tools/lz32_user.cpp)
set_target_properties(lz32_user PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
target_link_libraries(lz32_user PRIVATE lz32)
target_link_options(lz32_user PRIVATE ${ZL_LINK_FLAGS})
if(TARGET e2e_dll_planting)
  add_dependencies(e2e_dll_planting lz32_user)
endif()
