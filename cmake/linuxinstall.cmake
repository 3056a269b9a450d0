# `cmake --install` on Linux: the command, its desktop entry, icons in the
# hicolor theme, AppStream metadata, a manual page and the package documents.
# Help pages and translations are compiled into the program, so it needs
# nothing else on disk wherever it is installed.
include(GNUInstallDirs)
# Installing (and packaging, which installs first) takes what is built; it does
# not build every test and benchmark of the tree on the way.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(GLANCEWAY_APP_ID net.quillmark.Glanceway)
set(linux_res ${PROJECT_SOURCE_DIR}/resources/linux)

# The toolkit's project set-up would have the installed program search
# $ORIGIN/../lib first; installed into the system, it takes the system's libraries.
set_target_properties(glanceway PROPERTIES INSTALL_RPATH "")
install(TARGETS glanceway RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${linux_res}/${GLANCEWAY_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${linux_res}/${GLANCEWAY_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The theme's sizes that the Windows icon also has; the images are the same.
set(GLANCEWAY_ICON_SIZES 16 24 32 48 64 128 256)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(icon_ico ${PROJECT_SOURCE_DIR}/resources/icons/quillmark-glanceway.ico)
set(icon_root ${PROJECT_BINARY_DIR}/icons/hicolor)
set(icon_files "")
foreach(size ${GLANCEWAY_ICON_SIZES})
    list(APPEND icon_files ${icon_root}/${size}x${size}/apps/${GLANCEWAY_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/hicolor_icons.py
            ${icon_ico} ${icon_root} ${GLANCEWAY_APP_ID} ${GLANCEWAY_ICON_SIZES}
    DEPENDS ${icon_ico} ${PROJECT_SOURCE_DIR}/scripts/hicolor_icons.py VERBATIM)

# Debian wants the manual page and the change log compressed with gzip -9n
# (no name or time stamp in the header, so the package is reproducible).
set(man_gz ${PROJECT_BINARY_DIR}/linux/glanceway.1.gz)
set(changelog_gz ${PROJECT_BINARY_DIR}/linux/changelog.gz)
add_custom_command(OUTPUT ${man_gz} ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/linux
    COMMAND sh -c "gzip -9n < \"$1\" > \"$2\" && gzip -9n < \"$3\" > \"$4\"" sh
            ${linux_res}/glanceway.1 ${man_gz} ${linux_res}/changelog ${changelog_gz}
    DEPENDS ${linux_res}/glanceway.1 ${linux_res}/changelog VERBATIM)
add_custom_target(glanceway_linux_files ALL DEPENDS ${icon_files} ${man_gz} ${changelog_gz})

foreach(size ${GLANCEWAY_ICON_SIZES})
    install(FILES ${icon_root}/${size}x${size}/apps/${GLANCEWAY_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Named after the package, as Debian requires, whatever the install prefix.
install(FILES ${linux_res}/copyright ${changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/glanceway)
