# Writes the winget manifest of the built setup.exe (ManifestVersion 1.10.0):
# the version, installer and default locale files, into OUT.
#   cmake -DEXE= -DOUT= -DSOURCE_DIR= -DURL= -DARCH= -P winget.cmake
# Names, versions and codes come from the sources the program is built from:
# res/version.h, the uninstall key of src/registry/registry.h and the exit
# codes of src/shell/messages.h.
foreach(var EXE OUT SOURCE_DIR URL ARCH)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "winget.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT URL MATCHES "^[Hh][Tt][Tt][Pp][Ss]?://[^ '\"]+$")
  message(FATAL_ERROR "winget.cmake: ZL_WINGET_INSTALLER_URL must be an http(s) address: '${URL}'")
endif()

file(READ ${SOURCE_DIR}/res/version.h version_h)
foreach(name PRODUCT_NAME PUBLISHER UNINSTALL_NAME)
  if(NOT version_h MATCHES "#define ZL_${name} +\"([^\"]+)\"")
    message(FATAL_ERROR "winget.cmake: no ZL_${name} in res/version.h")
  endif()
  set(${name} "${CMAKE_MATCH_1}")
endforeach()
if(NOT version_h MATCHES "#define ZL_PRODUCT_VERSION +([0-9,]+)")
  message(FATAL_ERROR "winget.cmake: no ZL_PRODUCT_VERSION in res/version.h")
endif()
string(REPLACE "," "." VERSION "${CMAKE_MATCH_1}")
# The uninstall entry's key name.
file(READ ${SOURCE_DIR}/src/registry/registry.h registry_h)
if(NOT registry_h MATCHES "#define ZL_KEY_UNINSTALL +\"[^\"]*Uninstall[\\]+([^\"\\]+)\"")
  message(FATAL_ERROR "winget.cmake: no ZL_KEY_UNINSTALL in src/registry/registry.h")
endif()
set(PRODUCT_CODE "${CMAKE_MATCH_1}")

# Every Windows Installer code the program ends with, and what it means to winget.
file(READ ${SOURCE_DIR}/src/shell/messages.h messages_h)
set(responses "1602=cancelledByUser" "1603=contactSupport" "1639=invalidParameter"
              "1641=rebootInitiated" "3010=rebootRequiredToFinish")
set(expected "")
foreach(pair ${responses})
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 code)
  list(GET pair 1 response)
  if(NOT messages_h MATCHES "kExit[A-Za-z]+[ \t]*=[ \t]*${code}[,\n ]")
    message(FATAL_ERROR "winget.cmake: the program has no exit code ${code}")
  endif()
  string(APPEND expected "  - InstallerReturnCode: ${code}\n    ReturnResponse: ${response}\n")
endforeach()

file(SHA256 ${EXE} sha256)
string(TOUPPER "${sha256}" sha256)
set(id "${PUBLISHER}.ZELTRAPro")
set(head "PackageIdentifier: ${id}\nPackageVersion: ${VERSION}\n")
set(tail "ManifestVersion: 1.10.0\n")
set(schema "# yaml-language-server: $schema=https://aka.ms/winget-manifest")

file(MAKE_DIRECTORY ${OUT})
file(WRITE ${OUT}/${id}.yaml "${schema}.version.1.10.0.schema.json
${head}DefaultLocale: en-US
ManifestType: version
${tail}")

# Quiet shows no progress either: both modes are /quiet. Restarts are left
# to winget (a quiet run never restarts unless install.ini allows it).
file(WRITE ${OUT}/${id}.installer.yaml "${schema}.installer.1.10.0.schema.json
${head}InstallerType: exe
Scope: machine
InstallModes:
  - interactive
  - silent
  - silentWithProgress
InstallerSwitches:
  Silent: '/quiet'
  SilentWithProgress: '/quiet'
  Log: '/log=\"<LOGPATH>\"'
  InstallLocation: '/dir=\"<INSTALLPATH>\"'
InstallerSuccessCodes:
  - 3010
  - 1641
ExpectedReturnCodes:
${expected}UpgradeBehavior: install
ElevationRequirement: elevatesSelf
AppsAndFeaturesEntries:
  - DisplayName: '${UNINSTALL_NAME}'
    Publisher: '${PUBLISHER}'
    DisplayVersion: '${VERSION}'
    ProductCode: '${PRODUCT_CODE}'
Installers:
  - Architecture: ${ARCH}
    InstallerUrl: '${URL}'
    InstallerSha256: ${sha256}
ManifestType: installer
${tail}")

file(WRITE ${OUT}/${id}.locale.en-US.yaml "${schema}.defaultLocale.1.10.0.schema.json
${head}PackageLocale: en-US
Publisher: '${PUBLISHER}'
PackageName: '${PRODUCT_NAME}'
License: Proprietary
Copyright: 'Copyright (C) ${PUBLISHER}'
ShortDescription: 'The ${PRODUCT_NAME} FTP client suite: the FTP client, its Explorer interface and the FTP utilities.'
Moniker: zeltra-pro
Tags:
  - ftp
  - ftp-client
ManifestType: defaultLocale
${tail}")
message(STATUS "winget manifest of ${id} ${VERSION} in ${OUT}")
