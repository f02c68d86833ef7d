# What a Windows user downloads, made by the package target (CPack): the installer (NSIS,
# Polish, from NSIS.template.in beside this file) and the portable zip with its read-me.
install(TARGETS pelikant RUNTIME DESTINATION .)

# Notepad on older Windows wants CRLF (the read-me starts with a UTF-8 byte order mark).
configure_file(${CMAKE_CURRENT_LIST_DIR}/CZYTAJ.txt.in ${CMAKE_BINARY_DIR}/portable/CZYTAJ.txt
    @ONLY NEWLINE_STYLE CRLF)

set(CPACK_PACKAGE_NAME Pelikant)
set(CPACK_PACKAGE_VENDOR Pelikant)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PELIKANT_ICON ${CMAKE_SOURCE_DIR}/resources/icons/5000.ico)
# The installer reads the program's command ids from the header the program is built with.
set(CPACK_PELIKANT_RESOURCE_H ${CMAKE_SOURCE_DIR}/resources/resource.h)
set(CPACK_PELIKANT_PORTABLE_DIR ${CMAKE_BINARY_DIR}/portable)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/per_generator.cmake)
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
include(CPack)

# The target "installer" makes both from pelikant.exe alone; install and the stock "package"
# target then need nothing else built (CPack's preinstall step would otherwise build every test).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(installer COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR} VERBATIM)
add_dependencies(installer pelikant)

# The file names the installer test looks for.
set(PELIKANT_INSTALLER ${CPACK_PACKAGE_DIRECTORY}/Pelikant-${PROJECT_VERSION}-instalator.exe)
