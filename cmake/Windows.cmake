# The Windows program, cross-built with MinGW-w64 (cmake/mingw-w64.cmake):
# winmm for MIDI, the system's own synth behind the MIDI Mapper, and no
# Qt, FluidSynth, RtMidi, JACK or PipeWire.

include(CTest)
set(CMAKE_AUTOMOC OFF)

# Windows 10's declarations, for per-monitor DPI. The program runs on Windows 7
# SP1 too: what that lacks is looked up at run time (window/win32/Dpi.cpp), and
# the Wine tests fail on an import it lacks.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)

add_library(tonvelo_winmm STATIC
  src/midi/winmm/AnsiName.cpp
  src/midi/winmm/WinmmOutput.cpp
  src/midi/winmm/WinmmOutputs.cpp
)
target_include_directories(tonvelo_winmm PUBLIC src)
target_link_libraries(tonvelo_winmm PUBLIC tonvelo_form winmm)

# The icon is drawn from the same SVG as the Linux one, in the sizes Windows
# asks for; 256 is kept as PNG inside the .ico, as Windows does.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
set(svg ${PROJECT_SOURCE_DIR}/data/${TONVELO_APP_ID}.svg)
set(TONVELO_ICO ${CMAKE_BINARY_DIR}/tonvelo.ico)
set(pngs)
foreach(size 16 24 32 48 64 256)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
    DEPENDS ${svg}
    VERBATIM
  )
  list(APPEND pngs ${png})
endforeach()
list(POP_BACK pngs large)
add_custom_command(
  OUTPUT ${TONVELO_ICO}
  COMMAND ${ICOTOOL} -c -o ${TONVELO_ICO} ${pngs} -r ${large}
  DEPENDS ${pngs} ${large}
  VERBATIM
)
add_custom_target(windows_icon DEPENDS ${TONVELO_ICO})

# Windows wants four numbers in a version.
set(TONVELO_FILE_VERSION ${PROJECT_VERSION}.0)
string(REPLACE "." "," TONVELO_FILE_VERSION_COMMAS ${TONVELO_FILE_VERSION})
set(TONVELO_MANIFEST ${CMAKE_BINARY_DIR}/tonvelo.manifest)
configure_file(data/windows/tonvelo.manifest.in ${TONVELO_MANIFEST} @ONLY)
configure_file(data/windows/tonvelo.rc.in ${CMAKE_BINARY_DIR}/tonvelo.rc @ONLY)
enable_language(RC)

add_executable(tonvelo WIN32
  src/window/win32/main.cpp
  src/window/win32/Dpi.cpp
  src/window/win32/Fonts.cpp
  src/window/win32/KeyFace.cpp
  src/window/win32/TimerClock.cpp
  src/window/win32/VelocityBar.cpp
  src/window/win32/Win32DemoHost.cpp
  src/window/win32/Win32Form.cpp
  src/window/win32/Win32FormControls.cpp
  src/window/win32/Win32FormKeys.cpp
  ${CMAKE_BINARY_DIR}/tonvelo.rc
)
# wWinMain, wide command line; what ships carries no symbols.
target_link_options(tonvelo PRIVATE -municode $<$<CONFIG:Release>:-s>)
target_link_libraries(tonvelo PRIVATE tonvelo_winmm ole32 oleacc uuid)
add_dependencies(tonvelo windows_icon)
set_source_files_properties(${CMAKE_BINARY_DIR}/tonvelo.rc PROPERTIES
  OBJECT_DEPENDS "${TONVELO_ICO};${TONVELO_MANIFEST}")

# The installer: build-windows/tonvelo-<version>-setup.exe.
find_program(MAKENSIS makensis)
if(MAKENSIS)
  set(TONVELO_EXE $<TARGET_FILE:tonvelo>)
  set(TONVELO_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
  set(TONVELO_INSTALLER ${CMAKE_BINARY_DIR}/tonvelo-${PROJECT_VERSION}-setup.exe)
  configure_file(data/windows/tonvelo.nsi.in ${CMAKE_BINARY_DIR}/tonvelo.nsi.in @ONLY)
  # The exe's path is known only at generation time.
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tonvelo.nsi INPUT ${CMAKE_BINARY_DIR}/tonvelo.nsi.in)
  add_custom_command(
    OUTPUT ${TONVELO_INSTALLER}
    # The script is UTF-8 (its Chinese text), which makensis does not assume.
    COMMAND ${MAKENSIS} -V2 -NOCD -INPUTCHARSET UTF8 ${CMAKE_BINARY_DIR}/tonvelo.nsi
    DEPENDS tonvelo ${CMAKE_BINARY_DIR}/tonvelo.nsi ${TONVELO_ICO} ${TONVELO_LICENSE}
    VERBATIM
  )
  add_custom_target(installer ALL DEPENDS ${TONVELO_INSTALLER})
else()
  message(WARNING "makensis (nsis) not found: no installer will be built")
endif()

if(BUILD_TESTING)
  add_subdirectory(tests/win32)
endif()
