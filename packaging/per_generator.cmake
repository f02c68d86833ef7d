# Read by cpack once per generator: the installer holds the program alone, the zip adds its read-me.
if(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_PACKAGE_FILE_NAME "Pelikant-${CPACK_PACKAGE_VERSION}-przenosny")
    set(CPACK_INSTALLED_DIRECTORIES "${CPACK_PELIKANT_PORTABLE_DIR};.")
else()
    set(CPACK_PACKAGE_FILE_NAME "Pelikant-${CPACK_PACKAGE_VERSION}-instalator")
endif()
