# The Debian package: `cpack -G DEB` in the build directory.
set(CPACK_PACKAGE_NAME tonvelo)
set(CPACK_PACKAGE_VENDOR "The Tonvelo developers")
set(CPACK_PACKAGE_CONTACT "The Tonvelo developers <maintainers@tonvelo.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tonvelo.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MIDI keyboard played with the mouse or the computer keyboard")
set(CPACK_PACKAGE_DESCRIPTION
    "Tonvelo turns the computer into a MIDI keyboard: 38 piano keys in three rows,
played with the mouse or the computer keyboard, a velocity bar, a channel menu
and a demo tune. It plays through a built-in General MIDI synth or sends the
notes to any ALSA sequencer or JACK MIDI port.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# One package of everything, with the component that only the package installs.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see in the binary: the soundfont the synth
# loads; the fonts the captions name (CJK and metric-compatible Latin); Qt's
# X11 and Wayland platform plugins, loaded at run time; and the index of the icon theme
# that holds our icon (Qt finds no icon in a theme without one).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fluid-soundfont-gm, fonts-arphic-ukai, fonts-arphic-uming, fonts-liberation2, qt6-qpa-plugins, qt6-wayland, hicolor-icon-theme")
# Input held during the demo goes back through Qt's platform interface, whose
# ABI holds for one Qt release only. Debian's Qt core library names that ABI
# (qt6-base-abi in Debian 12, qt6-base-private-abi in 13): the package asks for
# the one it was built with.
execute_process(COMMAND dpkg-query -W "-f=\${Provides}\n" "libqt6core6*"
    OUTPUT_VARIABLE qt_provides ERROR_QUIET)
string(REGEX MATCH "qt6-base(-private)?-abi \\(= [^)]*\\)" qt_abi "${qt_provides}")
if(qt_abi)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${qt_abi}")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2 | pipewire-jack")

include(CPack)
