# Windows builds: our icon and the version information in an executable's resources.
function(zl_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(ZL_RC_NAME ${target})
  set(ZL_RC_DESCRIPTION "${description}")
  set(ZL_RC_ICON "${PROJECT_SOURCE_DIR}/app/Zephyrlock_Config.ico")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc
                 @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${ZL_RC_ICON})
endfunction()
