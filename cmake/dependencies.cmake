# What the build takes from outside the project, in one place:
#   brevora_ffmpeg      FFmpeg's libavformat, libavcodec, libswresample and libavutil
#   brevora_mbedtls     mbedTLS (TLS, certificates, and mbedcrypto)
#   brevora_mbedcrypto  mbedcrypto alone (AES and base64 for the parsers)
#   BREVORA_LAME_EXE    Windows only: lame.exe, which the player records through
# Windows gets each of them cross-built from Debian's source packages into the build tree,
# once (scripts/build-*.sh); the native trees use Debian's own FFmpeg and mbedTLS, or the
# benchmark's static FFmpeg (BREVORA_STATIC_FFMPEG).

# Runs `scripts/SCRIPT ARGUMENTS... FOLDER` at every configure. The script returns at once
# when the folder is up to date; a changed script configures again.
function(build_dependency script folder)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/${script})
  execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/${script} ${ARGN} ${folder}
    RESULT_VARIABLE script_result)
  if(NOT script_result EQUAL 0)
    message(FATAL_ERROR "scripts/${script} failed")
  endif()
endfunction()

# FFmpeg: a minimal audio-only static build for Windows and the benchmark, so that what is
# measured is what ships; Debian's shared libraries for the tests.
add_library(brevora_ffmpeg INTERFACE)
if(WIN32)
  set(ffmpeg_dir ${CMAKE_BINARY_DIR}/ffmpeg-windows)
  build_dependency(build-ffmpeg.sh ${ffmpeg_dir} windows)
elseif(BREVORA_STATIC_FFMPEG)
  set(ffmpeg_dir ${BREVORA_STATIC_FFMPEG})
endif()
if(ffmpeg_dir)
  target_include_directories(brevora_ffmpeg SYSTEM INTERFACE ${ffmpeg_dir}/include)
  target_link_libraries(brevora_ffmpeg INTERFACE
    ${ffmpeg_dir}/lib/libavformat.a ${ffmpeg_dir}/lib/libavcodec.a
    ${ffmpeg_dir}/lib/libswresample.a ${ffmpeg_dir}/lib/libavutil.a)
  if(WIN32)
    target_link_libraries(brevora_ffmpeg INTERFACE bcrypt)
  else()
    target_link_libraries(brevora_ffmpeg INTERFACE m)
  endif()
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswresample
    libavutil)
  target_link_libraries(brevora_ffmpeg INTERFACE PkgConfig::FFMPEG)
endif()

# mbedTLS: the same library verifies certificates on both platforms.
add_library(brevora_mbedcrypto INTERFACE)
add_library(brevora_mbedtls INTERFACE)
if(WIN32)
  set(mbedtls_dir ${CMAKE_BINARY_DIR}/mbedtls-windows)
  build_dependency(build-mbedtls-windows.sh ${mbedtls_dir})
  target_include_directories(brevora_mbedcrypto SYSTEM INTERFACE ${mbedtls_dir}/include)
  target_link_libraries(brevora_mbedcrypto INTERFACE ${mbedtls_dir}/lib/libmbedcrypto.a bcrypt)
  target_link_libraries(brevora_mbedtls INTERFACE ${mbedtls_dir}/lib/libmbedtls.a
    ${mbedtls_dir}/lib/libmbedx509.a brevora_mbedcrypto ws2_32 crypt32 advapi32)
else()
  find_library(MBEDTLS_LIBRARY mbedtls REQUIRED)
  find_library(MBEDX509_LIBRARY mbedx509 REQUIRED)
  find_library(MBEDCRYPTO_LIBRARY mbedcrypto REQUIRED)
  target_link_libraries(brevora_mbedcrypto INTERFACE ${MBEDCRYPTO_LIBRARY})
  target_link_libraries(brevora_mbedtls INTERFACE ${MBEDTLS_LIBRARY} ${MBEDX509_LIBRARY}
    brevora_mbedcrypto)
endif()

# LAME's encoder for Windows: the player starts "lame.exe" without a directory, so Windows
# finds it beside the program; the build copies it there (lame_beside_programs).
if(WIN32)
  set(lame_dir ${CMAKE_BINARY_DIR}/lame-windows)
  build_dependency(build-lame-windows.sh ${lame_dir})
  set(BREVORA_LAME_EXE ${lame_dir}/lame.exe)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/lame.exe
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${BREVORA_LAME_EXE} ${CMAKE_BINARY_DIR}/bin/
    DEPENDS ${BREVORA_LAME_EXE})
  add_custom_target(lame_beside_programs ALL DEPENDS ${CMAKE_BINARY_DIR}/bin/lame.exe)
endif()
