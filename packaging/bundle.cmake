# CPack settings of a portable bundle: one staged folder, packed as it stands under a top-level
# folder named after the archive. scripts/package.sh passes the rest:
#   cpack --config packaging/bundle.cmake -G ZIP|TGZ -D "CPACK_INSTALLED_DIRECTORIES=<folder>;." \
#         -D CPACK_PACKAGE_VERSION=<version> -D CPACK_PACKAGE_FILE_NAME=<name> \
#         -D CPACK_PACKAGE_DIRECTORY=<folder>
set(CPACK_PACKAGE_NAME VentrelConf)
set(CPACK_PACKAGE_VENDOR VentrelConf)
set(CPACK_PACKAGE_DESCRIPTION "VentrelConf, portable: the program beside its brand's product folder")
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
