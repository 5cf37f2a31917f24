# Run by CPack on the package's staging tree before it builds the .deb: strips the programs as
# Debian's own packages are stripped (no debugging symbols, no .comment or .note sections) and
# adds the Debian changelog and lintian's overrides.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(NOT IS_DIRECTORY ${root}/bin)
  message(FATAL_ERROR "no programs in the staging tree ${root}")
endif()
file(GLOB programs ${root}/bin/*)
foreach(program ${programs})
  execute_process(
    COMMAND ${CPACK_WQT_STRIP} --remove-section=.comment --remove-section=.note ${program}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(MAKE_DIRECTORY ${root}/share/lintian/overrides)
file(COPY ${CPACK_WQT_CHANGELOG} DESTINATION ${root}/${CPACK_WQT_DOC_FOLDER})
file(COPY_FILE ${CPACK_WQT_LINTIAN_OVERRIDES}
     ${root}/share/lintian/overrides/${CPACK_PACKAGE_NAME} ONLY_IF_DIFFERENT)
