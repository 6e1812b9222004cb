# Signs EXE in place with osslsigncode (Authenticode, SHA-256) and verifies
# the result; the unsigned image is kept beside it as <name>.unsigned.exe.
#   cmake -DEXE= -DCERT= -DKEY= [-DPASSFILE=] [-DCAFILE=] [-DTIMESTAMP_URL=]
#         [-DSIGNING_TIME=] [-DOSSLSIGNCODE=] -P sign.cmake
# SIGNING_TIME (seconds since 1970) fixes the signing time the signature
# states, so signing the same image with the same key gives the same bytes.
if(NOT OSSLSIGNCODE)
  find_program(OSSLSIGNCODE osslsigncode REQUIRED)
endif()
foreach(var EXE CERT KEY)
  if(NOT EXISTS "${${var}}")
    message(FATAL_ERROR "sign.cmake: ${var} is not a file: '${${var}}'")
  endif()
endforeach()

string(REGEX REPLACE "\\.exe$" "" stem "${EXE}")
set(unsigned "${stem}.unsigned.exe")
set(signed "${stem}.signed.exe")
file(COPY_FILE "${EXE}" "${unsigned}")
file(REMOVE "${signed}")

set(args sign -h sha256 -n "ZELTRA Pro Setup" -certs "${CERT}" -key "${KEY}")
if(PASSFILE)
  list(APPEND args -readpass "${PASSFILE}")
endif()
if(TIMESTAMP_URL)
  list(APPEND args -ts "${TIMESTAMP_URL}")
endif()
if(SIGNING_TIME)
  list(APPEND args -time "${SIGNING_TIME}")
endif()
execute_process(COMMAND "${OSSLSIGNCODE}" ${args} -in "${unsigned}" -out "${signed}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "Signing ${EXE} failed:\n${out}")
endif()

set(verify verify -in "${signed}")
if(CAFILE)
  list(APPEND verify -CAfile "${CAFILE}")
endif()
execute_process(COMMAND "${OSSLSIGNCODE}" ${verify}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "The signature of ${EXE} does not verify:\n${out}")
endif()
file(RENAME "${signed}" "${EXE}")
file(CHMOD "${EXE}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                     WORLD_READ WORLD_EXECUTE)
message(STATUS "Signed ${EXE}; osslsigncode verify:\n${out}")
