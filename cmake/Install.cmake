# Installing Veltora as a desktop application (cmake --install, make install PREFIX=...) and
# its Debian package (make deb, through CPack). Everything lands relative to the prefix:
#   bin/                        veltora, veltora-readings
#   LIBDIR/veltora/             the platform's and the application's libraries (private,
#                               found through RUNPATH $ORIGIN, so the tree can be moved)
#   share/veltora/Res/          the application's images
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1, share/doc/veltora
set(VELTORA_APP_ID org.veltora.Veltora)
set(VELTORA_HOMEPAGE "https://veltora.org" CACHE STRING "The project's home page, named by the package and the metainfo")
set(VELTORA_MAINTAINER "The Veltora developers <maintainers@veltora.org>" CACHE STRING "The Debian package's Maintainer field")
set(VELTORA_DATA ${CMAKE_SOURCE_DIR}/data)
set(VELTORA_GENERATED ${CMAKE_BINARY_DIR}/data)

# The libraries find each other beside themselves; the program finds them relative to itself.
set_target_properties(osp veltora_device Veltora PROPERTIES INSTALL_RPATH "$ORIGIN")
# The application library calls nothing of the C library directly; Debian still wants every
# shared library to name it.
target_link_options(Veltora PRIVATE "LINKER:--push-state,--no-as-needed,-lc,--pop-state")
# veltora-readings links nothing of ours: no search path at all, built or installed.
set_target_properties(veltora-readings PROPERTIES SKIP_BUILD_RPATH ON)
install(TARGETS veltora veltora-readings RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS osp veltora_device Veltora LIBRARY DESTINATION ${VELTORA_PRIVATE_LIBDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Res/ DESTINATION ${CMAKE_INSTALL_DATADIR}/veltora/Res
        FILES_MATCHING PATTERN "*.png" PATTERN "*.jpg")

# The icon, drawn by resgen: scalable and at the hicolor theme's sizes.
set(VELTORA_ICONS ${VELTORA_GENERATED}/icons)
set(VELTORA_ICON_SIZES 16 22 24 32 48 64 128 256 512)
set(VELTORA_ICON_FILES ${VELTORA_ICONS}/scalable/apps/${VELTORA_APP_ID}.svg)
foreach(size ${VELTORA_ICON_SIZES})
  list(APPEND VELTORA_ICON_FILES ${VELTORA_ICONS}/${size}x${size}/apps/${VELTORA_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${VELTORA_ICON_FILES}
  COMMAND resgen --icon ${VELTORA_ICONS} ${VELTORA_APP_ID} >/dev/null
  DEPENDS resgen
  COMMENT "Drawing the icon")
# The man pages and the Debian changelog, compressed as Debian wants them (-n: no name or
# time in the header, so the bytes are the same every time).
set(VELTORA_GZIPPED)
foreach(source ${CMAKE_SOURCE_DIR}/docs/man/veltora.1 ${CMAKE_SOURCE_DIR}/docs/man/veltora-readings.1
               ${VELTORA_DATA}/changelog)
  get_filename_component(doc ${source} NAME)
  add_custom_command(OUTPUT ${VELTORA_GENERATED}/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELTORA_GENERATED}
    COMMAND gzip -9n -c ${source} > ${VELTORA_GENERATED}/${doc}.gz
    DEPENDS ${source})
  list(APPEND VELTORA_GZIPPED ${VELTORA_GENERATED}/${doc}.gz)
endforeach()
add_custom_target(veltora_desktop_files ALL DEPENDS ${VELTORA_ICON_FILES} ${VELTORA_GZIPPED})

install(DIRECTORY ${VELTORA_ICONS}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${VELTORA_DATA}/${VELTORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VELTORA_DATA}/${VELTORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VELTORA_GENERATED}/veltora.1.gz ${VELTORA_GENERATED}/veltora-readings.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VELTORA_DATA}/copyright ${VELTORA_GENERATED}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Pictures for the metainfo's screenshots, rendered by Veltora itself from the scripts in
# data/screenshots (make screenshots); publish them under VELTORA_HOMEPAGE/screenshots/.
file(GLOB VELTORA_SHOT_SCRIPTS ${VELTORA_DATA}/screenshots/*.txt)
set(VELTORA_SHOTS)
foreach(script ${VELTORA_SHOT_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  add_custom_command(OUTPUT ${VELTORA_GENERATED}/screenshots/${name}.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELTORA_GENERATED}/screenshots
    COMMAND veltora --headless --script ${script} --screenshot ${VELTORA_GENERATED}/screenshots/${name}.png
    DEPENDS veltora ${script}
    COMMENT "Rendering the screenshot ${name}.png")
  list(APPEND VELTORA_SHOTS ${VELTORA_GENERATED}/screenshots/${name}.png)
endforeach()
add_custom_target(screenshots DEPENDS ${VELTORA_SHOTS})

# The Debian package. Its library dependencies come from dpkg-shlibdeps; what no library
# names is listed here: the GStreamer elements the camera uses (uridecodebin, decodebin,
# videoconvert, appsink from -base; v4l2src and the common demuxers from -good) and the font
# of the window's key list.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Veltora developers")
set(CPACK_PACKAGE_CONTACT ${VELTORA_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELTORA_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELTORA_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-libav, gstreamer1.0-libcamera, xdg-user-dirs")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "camera protractor: measure angles in the camera picture")
# CPack puts the summary first and indents the rest; an empty line parts paragraphs.
# Built for another processor (make deb ARCH=arm64): dpkg-shlibdeps knows only this machine's
# own packages, so the dependencies on libraries come from the shlibs of the target's root.
if(CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${VELTORA_DEB_ARCH})
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  string(CONFIGURE [[
execute_process(COMMAND "@CMAKE_SOURCE_DIR@/scripts/shlibs-depends.sh" "@CMAKE_SYSROOT@"
    "$<TARGET_FILE:veltora>" "$<TARGET_FILE:veltora-readings>" "$<TARGET_FILE:osp>"
    "$<TARGET_FILE:veltora_device>" "$<TARGET_FILE:Veltora>"
  OUTPUT_VARIABLE libraries RESULT_VARIABLE status ERROR_VARIABLE why OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${why}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${libraries}, ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
]] depends @ONLY)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/CPackDepends.cmake CONTENT "${depends}")
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackDepends.cmake)
endif()
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Veltora shows the camera's picture with a protractor drawn over it:
drag the measuring needle and the origin needle along the edges of an angle
and read the angle between them in tenths of a degree. A tilt sensor switches
between a half-circle dial (landscape) and a full-circle dial (portrait).

It runs in a desktop window or full screen on a tablet or phone, takes its
picture from a photo, a video, a webcam or a libcamera camera, and can be
driven headless by scripts for automation.")
# The package's own files only: no build folder in its paths, no files of other packages.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Veltora;ALL;/")
include(CPack)
