# Sourced by the build scripts: the compiler and linker flags Debian builds its
# own packages with, all hardening included, as CMake options in the array
# debian_flags. The test run's plain build and the package's build use the same
# flags, so that the package's build finds every object in the compiler cache.
deb_flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
debian_flags=(
    -DCMAKE_C_FLAGS="$(deb_flags CFLAGS) $(deb_flags CPPFLAGS)"
    -DCMAKE_CXX_FLAGS="$(deb_flags CXXFLAGS) $(deb_flags CPPFLAGS)"
    -DCMAKE_EXE_LINKER_FLAGS="$(deb_flags LDFLAGS)"
    -DCMAKE_MODULE_LINKER_FLAGS="$(deb_flags LDFLAGS)"
)
