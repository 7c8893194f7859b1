# Read by cpack after its settings: a release number from the environment.
if(DEFINED ENV{KIOSK_PACKAGE_RELEASE})
    set(CPACK_DEBIAN_PACKAGE_RELEASE $ENV{KIOSK_PACKAGE_RELEASE})
endif()
