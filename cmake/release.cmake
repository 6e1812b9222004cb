# What a release needs beyond the program: the same bytes from the same
# sources wherever and whenever they are built, the image's SHA-256 in the
# build output, and an optional Authenticode signature.

# No build folder in any object: __FILE__ and debug paths name the sources
# relative to their roots. (These variables are read as they stand at the end
# of this directory, so they reach the targets defined above.)
foreach(lang C CXX)
  string(APPEND CMAKE_${lang}_FLAGS
         " -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=" " -ffile-prefix-map=${CMAKE_BINARY_DIR}/=")
endforeach()

# The PE time stamp of setup.exe and of the product's programs and libraries
# it carries: SOURCE_DATE_EPOCH when the release gives one (the linker reads
# it from the environment), otherwise none at all.
set(ZL_SOURCE_DATE_EPOCH "" CACHE STRING
    "Seconds since 1970 stamped into the images (SOURCE_DATE_EPOCH at configure time sets it; empty: no date)")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set_property(CACHE ZL_SOURCE_DATE_EPOCH PROPERTY VALUE "$ENV{SOURCE_DATE_EPOCH}")
endif()
if(ZL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  set_property(DIRECTORY PROPERTY RULE_LAUNCH_LINK
               "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ZL_SOURCE_DATE_EPOCH}")
elseif(ZL_SOURCE_DATE_EPOCH)
  message(FATAL_ERROR "ZL_SOURCE_DATE_EPOCH must be a whole number of seconds: ${ZL_SOURCE_DATE_EPOCH}")
else()
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -Wl,--no-insert-timestamp")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS " -Wl,--no-insert-timestamp")
endif()

# Authenticode: given a certificate (chain) and its private key, setup.exe is
# signed and the signature verified as part of the build.
set(ZL_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate chain (PEM or DER); empty: setup.exe stays unsigned")
set(ZL_SIGN_KEY "" CACHE FILEPATH "Private key of ZL_SIGN_CERT (PEM or DER)")
set(ZL_SIGN_PASSFILE "" CACHE FILEPATH "File holding the key's password, if it has one")
set(ZL_SIGN_CAFILE "" CACHE FILEPATH "Trusted roots to verify the signature against (default: the system's)")
set(ZL_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping server (optional)")
if(ZL_SIGN_CERT OR ZL_SIGN_KEY)
  if(NOT EXISTS "${ZL_SIGN_CERT}" OR NOT EXISTS "${ZL_SIGN_KEY}")
    message(FATAL_ERROR "Signing needs both ZL_SIGN_CERT and ZL_SIGN_KEY as existing files")
  endif()
  find_program(OSSLSIGNCODE osslsigncode REQUIRED)
  add_custom_command(TARGET setup POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${OSSLSIGNCODE} -DEXE=$<TARGET_FILE:setup>
            -DCERT=${ZL_SIGN_CERT} -DKEY=${ZL_SIGN_KEY} -DPASSFILE=${ZL_SIGN_PASSFILE}
            -DCAFILE=${ZL_SIGN_CAFILE} -DTIMESTAMP_URL=${ZL_SIGN_TIMESTAMP_URL}
            -DSIGNING_TIME=${ZL_SOURCE_DATE_EPOCH} -P ${CMAKE_SOURCE_DIR}/cmake/sign.cmake
    VERBATIM)
endif()

# What was built, for the release notes: both versions and the digest.
file(STRINGS ${CMAKE_SOURCE_DIR}/res/version.h ZL_VERSION_LINES REGEX "^#define ZL_(PRODUCT|SETUP)_VERSION ")
foreach(line ${ZL_VERSION_LINES})
  string(REGEX MATCH "ZL_([A-Z]+)_VERSION +([0-9,]+)" _ "${line}")
  string(REPLACE "," "." ZL_${CMAKE_MATCH_1}_VERSION "${CMAKE_MATCH_2}")
endforeach()
add_custom_command(TARGET setup POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E echo "setup.exe ${ZL_SETUP_VERSION} for ZELTRA Pro ${ZL_PRODUCT_VERSION}, SHA-256:"
  COMMAND ${CMAKE_COMMAND} -E sha256sum $<TARGET_FILE:setup>
  VERBATIM)

# The release's winget manifest, of the image just built (and signed).
set(ZL_WINGET_INSTALLER_URL "https://example.com/zeltra-pro/setup.exe" CACHE STRING
    "Where the winget manifest says setup.exe is downloaded from (the default is a placeholder)")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ZL_WINGET_ARCH x86)
else()
  set(ZL_WINGET_ARCH x64)
endif()
add_custom_command(TARGET setup POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:setup> -DOUT=${CMAKE_BINARY_DIR}/winget
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DURL=${ZL_WINGET_INSTALLER_URL} -DARCH=${ZL_WINGET_ARCH}
          -P ${CMAKE_SOURCE_DIR}/cmake/winget.cmake
  VERBATIM)

# The suite builds the product twice and compares, and signs a copy with a
# throwaway certificate that the end-to-end tests then install from.
if(ZL_BUILD_TESTS)
  add_test(NAME host_reproducible
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/reproducible.sh ${CMAKE_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/reproducible)
  set_tests_properties(host_reproducible PROPERTIES LABELS host TIMEOUT 900)
  add_test(NAME host_product_dir
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/product_dir.sh ${HOST_TOOLS_DIR}/payloadrc
            ${CMAKE_BINARY_DIR}/product ${CMAKE_BINARY_DIR}/product-dir-check)
  set_tests_properties(host_product_dir PROPERTIES LABELS host TIMEOUT 300)
  add_test(NAME host_winget
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/winget.py ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(host_winget PROPERTIES LABELS host TIMEOUT 60)
  add_test(NAME e2e_signed
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/signed.sh ${CMAKE_SOURCE_DIR} $<TARGET_FILE:setup>
            ${CMAKE_BINARY_DIR}/signed)
  set_tests_properties(e2e_signed PROPERTIES LABELS e2e TIMEOUT 900 RESOURCE_LOCK wineprefix)
endif()
