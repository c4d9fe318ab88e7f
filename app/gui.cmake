# MELVIR.EXE: the Windows program, from the core and its windows.
enable_language(RC)

# The read-me resource: CR LF line ends and a closing NUL.
set(MELVIR_README_BIN ${CMAKE_BINARY_DIR}/readme.bin)
add_custom_command(
  OUTPUT ${MELVIR_README_BIN}
  COMMAND sh -c "sed 's/$/\\r/' '${CMAKE_SOURCE_DIR}/res/readme.txt' > '${MELVIR_README_BIN}' && printf '\\000' >> '${MELVIR_README_BIN}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/res/readme.txt
  VERBATIM)
set(MELVIR_VERSION_H ${CMAKE_BINARY_DIR}/melvir_version.h)
configure_file(${CMAKE_SOURCE_DIR}/res/version.h.in ${MELVIR_VERSION_H} @ONLY)
set(MELVIR_VERSION_DEPENDS ${MELVIR_VERSION_H} ${CMAKE_SOURCE_DIR}/res/version.rc2)
# The manifest asks for the rights raw drives need.
set(MELVIR_EXECUTION_LEVEL requireAdministrator)
configure_file(res/app.manifest.in ${CMAKE_BINARY_DIR}/melvir.manifest @ONLY)
set_source_files_properties(res/melvir.rc PROPERTIES
  OBJECT_DEPENDS "${MELVIR_README_BIN};${CMAKE_SOURCE_DIR}/res/melvir.ico;${CMAKE_SOURCE_DIR}/res/strings.h;${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_BINARY_DIR}/melvir.manifest;${MELVIR_VERSION_DEPENDS}")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/res -I${CMAKE_BINARY_DIR}")

add_executable(MELVIR WIN32
  app/win_main.cpp
  app/main_window.cpp
  app/dialogs.cpp
  app/win32_ui_port.cpp
  res/melvir.rc
)
# The Windows program is the reader, the writer and its windows alone.
target_link_libraries(MELVIR PRIVATE melvir_app comctl32 comdlg32)
set_target_properties(MELVIR PROPERTIES OUTPUT_NAME MELVIR SUFFIX .EXE)

# The test driver that works MELVIR.EXE's windows under Wine.
add_executable(gui_driver tests/wine/gui_driver.cpp)
# The output writer on this platform, on volumes of larger sectors.
add_executable(output_check tests/wine/output_check.cpp)
target_link_libraries(output_check PRIVATE melvir_core)

# The wide-character paths the Windows file calls are given.
add_executable(wide_path_check tests/wine/wide_path_check.cpp)
target_link_libraries(wide_path_check PRIVATE melvir_platform)

# None of the command line's rooms reaches MELVIR.EXE.
enable_testing()
set(MELVIR_NOT_IN_EXE melvir_check melvir_rescue melvir_walk melvir_text melvir_report melvir_files)
foreach(room melvir_mount melvir_stream melvir_picture melvir_remux melvir_library)
  if(TARGET ${room})
    list(APPEND MELVIR_NOT_IN_EXE ${room})
  endif()
endforeach()
set(MELVIR_NOT_IN_EXE_FILES)
foreach(lib ${MELVIR_NOT_IN_EXE})
  list(APPEND MELVIR_NOT_IN_EXE_FILES $<TARGET_FILE:${lib}>)
endforeach()
# Nor do the FFmpeg libraries and libdvbpsi built for the command line.
if(MELVIR_WINDOWS_LIBS_DIR)
  foreach(lib avformat avcodec swscale avutil dvbpsi)
    list(APPEND MELVIR_NOT_IN_EXE_FILES ${MELVIR_WINDOWS_LIBS_DIR}/lib/lib${lib}.a)
  endforeach()
endif()
add_test(NAME Exe.HoldsNoCommandLineRoom
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/exe_rooms_check.sh ${CMAKE_NM} $<TARGET_FILE:MELVIR>
                 ${MELVIR_NOT_IN_EXE_FILES})
