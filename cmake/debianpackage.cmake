# `make package` (cpack -G DEB): glanceway_<version>_amd64.deb for Debian 12.
# The libraries it needs come from dpkg-shlibdeps; what the program loads
# without linking it (the toolkit's image-format plug-ins) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glanceway)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillmark <glanceway-feedback@quillmark.net>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo culling viewer with ratings and RAW previews")
set(CPACK_PACKAGE_DESCRIPTION
"Glanceway shows the JPEG and camera RAW photos of a folder one at a time
and marks each with one key: zero to five stars, a colour label (red,
yellow, green, blue) or a rejection. Every mark is written at once into an
XMP sidecar beside the photo, which other photo software reads; the photo
itself is never changed. RAW files (DNG, CR2, CR3, NEF, ARW, ORF, RAF,
RW2) are shown through the previews embedded in them, and the next photos
are decoded ahead. A thumbnail grid with multiple selection, filters, a
review summary, a slideshow and moving rejected photos to the trash
complete it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.quillmark.net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# JPEG is in the toolkit itself; TIFF comes with the image-format plug-ins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
# Directories the package creates are world-readable, as Debian requires,
# whatever the umask of the machine that builds it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
