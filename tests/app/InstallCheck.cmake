# Installs the build into a fresh prefix and checks what a desktop needs of it: the program, its
# help, a desktop entry and AppStream metainfo that validate, an icon, --version and --help.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(id org.vestrigal.Vestrigal)
foreach(path bin/vestrigal share/vestrigal/help/help.dat share/applications/${id}.desktop
             share/icons/hicolor/scalable/apps/${id}.svg share/metainfo/${id}.metainfo.xml)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

file(READ ${PREFIX}/share/applications/${id}.desktop desktop)
foreach(needed "Categories=Network;FileTransfer;" "x-scheme-handler/ftp;" "x-scheme-handler/ftps;"
               "x-scheme-handler/ftpes;" "x-scheme-handler/sftp;" "Exec=vestrigal %u")
  string(FIND "${desktop}" "${needed}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the desktop entry lacks ${needed}")
  endif()
endforeach()

execute_process(COMMAND desktop-file-validate ${PREFIX}/share/applications/${id}.desktop
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "error")
  message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()
execute_process(COMMAND appstreamcli validate --no-net ${PREFIX}/share/metainfo/${id}.metainfo.xml
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate: ${out}")
endif()

execute_process(COMMAND ${PREFIX}/bin/vestrigal --version RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Vestrigal [0-9]+\\.[0-9]+")
  message(FATAL_ERROR "--version: ${rc} ${out}")
endif()
execute_process(COMMAND ${PREFIX}/bin/vestrigal --help RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "Usage: vestrigal")
  message(FATAL_ERROR "--help: ${rc} ${out}")
endif()
execute_process(COMMAND ${PREFIX}/bin/vestrigal --no-such-option RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(rc EQUAL 0)
  message(FATAL_ERROR "an unknown option was accepted")
endif()
message(STATUS "installed and valid: ${PREFIX}")
